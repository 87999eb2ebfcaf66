[playlist]
numberofentries=0
File1=http://a/
Title1=only
