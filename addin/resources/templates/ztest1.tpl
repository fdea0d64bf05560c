# Report template of the one sample z-test.
sheet "z-test"
test 1024 "One sample Z-test"
paper 9
orientation portrait
scale 75

width A 24
width B 28
width C:F 9
width G 14
width H 13

style title bold size=14
style caption bold
style section bold size=11 border=bottom
style header bold align=right border=bottom
style text align=left
style number format="0.0000" align=right
style count format="0" align=right

# Header block
cell A1 "One sample Z-test" style=title
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

# Descriptive statistics of the variable
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
cell G10 "Missing" style=header
cell G11 style=count
slot G11 rows:Descriptive/Missing
cell H10 "Not a number" style=header
cell H11 style=count
slot H11 rows:Descriptive/NotANumber

# The hypothesis and the known population SD
cell A13 "Comparison with the hypothesised mean" style=section
cell A14 "Hypothesised mean" style=caption
cell B14 style=number
slot B14 HypothesisedMean
cell A15 "Population SD" style=caption
cell B15 style=number
slot B15 PopulationSD
cell A16 "Difference between means" style=caption
cell B16 style=number
slot B16 Difference
cell A17 "CI" style=caption
slot A17 ConfidenceLevel
range B17:C17 style=number
slot B17:C17 CI
cell D17 "(lower, upper)" italic

# The test
cell A19 "Z" style=caption
cell B19 style=number
slot B19 Z
cell A20 "p" style=caption
cell B20 format="[<0.0001]""<0.0001"";0.0000" align=right
slot B20 P
cell C20 italic align=left
slot C20 Method
cell A21 "Alternative hypothesis" style=caption
cell B21 style=text
slot B21 AlternativeHypothesis
