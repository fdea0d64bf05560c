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

cell A14 "Ranks" style=section
cell B14 "Group" bold border=bottom
cell C14 "n" style=header
cell D14 "Rank sum" style=header
cell E14 "Mean rank" style=header
cell B15 style=text
cell C15 style=count
cell D15 format="0.0" align=right
cell E15 format="0.00" align=right
slot B15 rows:Ranks/Group
slot C15 rows:Ranks/N
slot D15 rows:Ranks/RankSum
slot E15 rows:Ranks/MeanRank

# The test and the Hodges-Lehmann median of the differences
cell A19 "Wilcoxon's W" style=caption
cell B19 format="0.0" align=right
slot B19 WilcoxonW
cell A20 "Median difference" style=caption
cell B20 style=number
slot B20 Median/Value
cell A21 "CI" style=caption
range B21:C21 style=number
slot B21:C21 Median/CI
cell D21 "(lower, upper), Hodges-Lehmann" italic
cell A23 "p" style=caption
cell B23 style=pvalue
slot B23 P
cell C23 italic align=left
slot C23 Method
