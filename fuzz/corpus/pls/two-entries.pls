[playlist]
numberofentries=2
File1=http://203.0.113.7:8000/stream
Title1=(#1 - 12/500) Smooth Jazz Lounge
Length1=-1
File2=http://203.0.113.8:8010/
Title2=(#2 - 40/500) Smooth Jazz Lounge
Length2=-1
Version=2
