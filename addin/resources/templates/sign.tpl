# Report template of the sign test.
sheet "Sign test"
test 1041 "Sign test"
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
cell A1 "Sign test" style=title
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

cell A11 "Differences" style=section
cell B11 "Pair" bold border=bottom
cell C11 "n" style=header
cell D11 "Zero" style=header
cell B12 style=text
range C12:D12 style=count
slot B12 rows:Descriptive/Group
slot C12 rows:Descriptive/N
slot D12 rows:Descriptive/Zero

# The median difference and the test
cell A15 "Positive differences" style=caption
cell B15 format="0" align=right
slot B15 SignTest
cell A16 "Median difference" style=caption
cell B16 style=number
slot B16 Median/Value
cell A17 "CI" style=caption
range B17:C17 style=number
slot B17:C17 Median/CI
cell D17 "(lower, upper), binomial ranks" italic
cell A19 "p" style=caption
cell B19 style=pvalue
slot B19 P
cell C19 italic align=left
slot C19 Method
