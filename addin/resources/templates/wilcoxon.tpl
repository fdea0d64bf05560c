# Report template of Wilcoxon's signed ranks test.
sheet "Wilcoxon"
test 1042 "Wilcoxon signed ranks test"
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
cell A1 "Wilcoxon signed ranks test" style=title
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

cell A11 "Differences" style=section
cell B11 "Pair" bold border=bottom
cell C11 "n" style=header
cell D11 "Zero" style=header
cell B12 style=text
range C12:D12 style=count
slot B12 __sm_SR_0_7e0_880
slot C12 __sm_SR_0_7e0_7e1
slot D12 __sm_SR_0_7e0_855

cell A14 "Ranks" style=section
cell B14 "Group" bold border=bottom
cell C14 "n" style=header
cell D14 "Rank sum" style=header
cell E14 "Mean rank" style=header
cell B15 style=text
cell C15 style=count
cell D15 format="0.0" align=right
cell E15 format="0.00" align=right
slot B15 __sm_SR_0_861_880
slot C15 __sm_SR_0_861_7e1
slot D15 __sm_SR_0_861_856
slot E15 __sm_SR_0_861_857

# The test and the Hodges-Lehmann median of the differences
cell A19 "Wilcoxon's W" style=caption
cell B19 format="0.0" align=right
slot B19 __sm_RR_0_84b
cell A20 "Median difference" style=caption
cell B20 style=number
slot B20 __sm_RR_0_85f_7f9
cell A21 "CI" style=caption
range B21:C21 style=number
slot B21:C21 __sm_RR_0_85f_810
cell D21 "(lower, upper), Hodges-Lehmann" italic
cell A23 "p" style=caption
cell B23 style=pvalue
slot B23 __sm_RR_0_841
cell C23 italic align=left
slot C23 __sm_RR_0_814
