# Report template of the pearson correlation.
sheet "Pearson"
test 1072 "Pearson correlation"
paper 9
orientation portrait
scale 78

width A 24
width B 28
width C:F 11
width G 14
width H 10

style title bold size=14
style caption bold
style section bold size=11 border=bottom
style header bold align=right border=bottom
style text align=left
style number format="0.0000" align=right
style count format="0" align=right
style pvalue format="[<0.0001]""<0.0001"";0.0000" align=right

# Header block
cell A1 "Pearson correlation" style=title
cell G2 "analysed with:" italic align=right
cell H2 style=text
slot H2 header:Module
cell A3 "Test" style=caption
slot B3 header:Test
cell A4 "Dataset" style=caption
slot B4 header:Dataset
cell A5 "Variables" style=caption
slot B5 header:Variables
cell A6 "User" style=caption
slot B6 header:User
cell F6 "Date" style=caption align=right
cell G6 format="d-mmm-yy h:mm" align=left
slot G6 header:Date
range A7:H7 border=bottom

# Observations
cell A9 "n" style=caption
cell B9 style=count
slot B9 N

cell A10 "Descriptive" style=section
cell B10 "Variable" bold border=bottom
cell C10 "n" style=header
cell D10 "Mean" style=header
cell E10 "SD" style=header
cell F10 "SE" style=header
cell B11 style=text
cell C11 style=count
range D11:F11 style=number
slot B11 rows:Descriptive/Group
slot C11 rows:Descriptive/N
slot D11 rows:Descriptive/Mean
slot E11 rows:Descriptive/SD
slot F11 rows:Descriptive/SE

# The coefficient and its test
cell A14 "Correlation" style=section
cell A16 "r" style=caption
cell B16 style=number
slot B16 R/Value
cell A17 "CI" style=caption
range B17:C17 style=number
slot B17:C17 R/CI
cell D17 "(lower, upper), Fisher's z" italic
cell A19 "t" style=caption
cell B19 style=number
slot B19 T
cell A20 "DF" style=caption
cell B20 format="General" align=right
slot B20 DF
cell A21 "p" style=caption
cell B21 style=pvalue
slot B21 P
cell C21 italic align=left
slot C21 Method
