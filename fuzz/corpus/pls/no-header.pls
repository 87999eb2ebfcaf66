numberofentries=1
File1=http://a/
Title1=x
