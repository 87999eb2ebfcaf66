[playlist]
numberofentries= -300
File1=http://h/
Title1=t
File2=http://h/2
