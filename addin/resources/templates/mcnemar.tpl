# Report template of the mcNemar change test.
sheet "McNemar"
test 1058 "McNemar change test"
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
cell A1 "McNemar change test" style=title
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
cell B11 "Columns:" italic align=right
cell C11 italic align=left
slot C11 Columns
cell B12 "" bold border=bottom
cell C12 "1st column" style=header
cell D12 "2nd column" style=header
cell E12 "Total" style=header
cell B13 style=text
range C13:E13 style=count
slot B13 rows:ContingencyTable/Group
slot C13 rows:ContingencyTable/Category0
slot D13 rows:ContingencyTable/Category1
slot E13 rows:ContingencyTable/Total

cell A16 "Effect" style=section
cell A18 "Point estimate" style=caption
cell B18 style=number
slot B18 PointEstimate/Value
cell C18 italic align=left
slot C18 PointEstimate/Measure
cell A19 "CI" style=caption
range B19:C19 style=number
slot B19:C19 PointEstimate/CI
cell D19 italic align=left
slot D19 PointEstimate/Method

cell A21 "p" style=caption
cell B21 style=pvalue
slot B21 P
cell C21 italic align=left
slot C21 Method
