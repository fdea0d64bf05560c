# Report template of the binomial test.
sheet "Binomial"
test 1056 "Binomial test"
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
cell A1 "Binomial test" style=title
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

# Counts of the two categories
cell A10 "Frequencies" style=section
cell B10 "Category" bold border=bottom
cell C10 "n" style=header
cell B11 style=text
cell C11 style=count
slot B11 rows:Descriptive/Group
slot C11 rows:Descriptive/N

# The proportion
cell A14 "Proportion" style=section
cell A16 "Expected proportion" style=caption
cell B16 style=number
slot B16 ExpectedProportion
cell A17 "Observed proportion" style=caption
cell B17 style=number
slot B17 ObservedProportion/Value
cell A18 "CI" style=caption
range B18:C18 style=number
slot B18:C18 ObservedProportion/CI
cell D18 "(lower, upper), exact" italic
cell A20 "p" style=caption
cell B20 style=pvalue
slot B20 P
cell C20 italic align=left
slot C20 Method
