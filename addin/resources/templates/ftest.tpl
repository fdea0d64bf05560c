# Report template of the F test of two variances.
sheet "F-test"
test 1028 "F test"
paper 9
orientation portrait
scale 68

width A 24
width B 28
width C:F 9
width G 14
width H 9
width I 13

style title bold size=14
style caption bold
style section bold size=11 border=bottom
style header bold align=right border=bottom
style text align=left
style number format="0.0000" align=right
style count format="0" align=right

# Header block
cell A1 "F test" style=title
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
range A7:I7 border=bottom

# Descriptive statistics: one row per variable, with its variance
cell A9 "Descriptive" style=section
cell B9 "Group" bold border=bottom
cell C9 "n" style=header
cell D9 "Mean" style=header
cell E9 "SD" style=header
cell F9 "SE" style=header
cell G9 "Variance" style=header
cell B10 style=text
cell C10 style=count
range D10:G10 style=number
slot B10 rows:Descriptive/Group
slot C10 rows:Descriptive/N
slot D10 rows:Descriptive/Mean
slot E10 rows:Descriptive/SD
slot F10 rows:Descriptive/SE
slot G10 rows:Descriptive/Variance
cell H9 "Missing" style=header
cell H10 style=count
slot H10 rows:Descriptive/Missing
cell I9 "Not a number" style=header
cell I10 style=count
slot I10 rows:Descriptive/NotANumber

# The ratio of the variances
cell A12 "Ratio of variances" style=section
cell A13 "n" style=caption
cell B13 style=count
slot B13 N
cell A14 "F" style=caption
cell B14 style=number
slot B14 F
cell A15 "DF" style=caption
range B15:C15 format="0" align=right
slot B15:C15 DF
cell D15 "(numerator, denominator)" italic
cell A16 "p" style=caption
cell B16 format="[<0.0001]""<0.0001"";0.0000" align=right
slot B16 P
cell A17 "CI" style=caption
slot A17 ConfidenceLevel
range B17:C17 style=number
slot B17:C17 CI
cell D17 "(lower, upper)" italic
cell C16 italic align=left
slot C16 Method
cell A18 "Alternative hypothesis" style=caption
cell B18 style=text
slot B18 AlternativeHypothesis
