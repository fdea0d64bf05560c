# Report template of Cochran's Q test.
sheet "Cochran Q"
test 1060 "Cochran Q test"
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
cell A1 "Cochran Q test" style=title
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

cell A11 "Contingency table" style=section
cell B11 "Counted:" italic align=right
cell C11 italic align=left
slot C11 Columns
cell B12 "" bold border=bottom
cell C12 "Counted" style=header
cell D12 "Other" style=header
cell E12 "Total" style=header
cell B13 style=text
range C13:E13 style=count
slot B13 rows:ContingencyTable/Group
slot C13 rows:ContingencyTable/Category0
slot D13 rows:ContingencyTable/Category1
slot E13 rows:ContingencyTable/Total

# The test
cell A16 "Cochran's Q" style=caption
cell B16 style=number
slot B16 CochranQ
cell A17 "DF" style=caption
cell B17 format="General" align=right
slot B17 DF
cell A18 "p" style=caption
cell B18 style=pvalue
slot B18 P
cell C18 italic align=left
slot C18 Method
