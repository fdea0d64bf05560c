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
slot H2 __sm_RR__7d0_7d4
cell A3 "Test" style=caption
slot B3 __sm_RR__7d0_7d1
cell A4 "Dataset" style=caption
slot B4 __sm_RR__7d0_7d5
cell A5 "Variables" style=caption
slot B5 __sm_RR__7d0_7d6
cell A6 "User" style=caption
slot B6 __sm_RR__7d0_7d3
cell F6 "Date" style=caption align=right
cell G6 format="d-mmm-yy h:mm" align=left
slot G6 __sm_RR__7d0_7d2
range A7:H7 border=bottom

# Observations
cell A9 "n" style=caption
cell B9 style=count
slot B9 __sm_RR_0_7e1

# The two categories in the order met
cell A11 "Frequencies" style=section
cell B11 "Category" bold border=bottom
cell C11 "n" style=header
cell B12 style=text
cell C12 style=count
slot B12 __sm_SR_0_7e0_880
slot C12 __sm_SR_0_7e0_7e1

# The test
cell A16 "Runs" style=caption
cell B16 format="0" align=right
slot B16 __sm_RR_0_84d
cell A17 "Expected runs" style=caption
cell B17 style=number
slot B17 __sm_RR_0_85c
cell A18 "p" style=caption
cell B18 style=pvalue
slot B18 __sm_RR_0_841
cell C18 italic align=left
slot C18 __sm_RR_0_814
