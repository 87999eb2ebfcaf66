[playlist]
Title1=Late Title
numberofentries=1
File1=http://a.example/s