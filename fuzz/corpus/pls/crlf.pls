[playlist]
NumberOfEntries=1
numberofentries=1
File1=http://198.51.100.2:80/live
Title1=Radio Paradise
Length1=-1
Version=2
