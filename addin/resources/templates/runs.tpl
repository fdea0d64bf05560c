# Report template of the runs test.
sheet "Runs"
test 1040 "Runs test"
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
cell A1 "Runs test" style=title
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

# The two categories in the order met
cell A11 "Frequencies" style=section
cell B11 "Category" bold border=bottom
cell C11 "n" style=header
cell B12 style=text
cell C12 style=count
slot B12 rows:Descriptive/Group
slot C12 rows:Descriptive/N

# The test
cell A16 "Runs" style=caption
cell B16 format="0" align=right
slot B16 Runs
cell A17 "Expected runs" style=caption
cell B17 style=number
slot B17 Expected
cell A18 "p" style=caption
cell B18 style=pvalue
slot B18 P
cell C18 italic align=left
slot C18 Method
