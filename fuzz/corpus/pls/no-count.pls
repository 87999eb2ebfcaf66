[playlist]
File1=http://a/
Title1=x
