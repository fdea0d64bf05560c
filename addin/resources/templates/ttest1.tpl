# Report template of the one sample t-test.
sheet "t-test"
test 1025 "One sample t-test"
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
cell A1 "One sample t-test" style=title
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

# The difference from the hypothesised mean
cell A13 "Comparison with the hypothesised mean" style=section
cell A14 "Alternative hypothesis" style=caption
cell B14 style=text
slot B14 AlternativeHypothesis
cell A15 "Difference between means" style=caption
cell B15 style=number
slot B15 Difference
cell A16 "CI" style=caption
slot A16 ConfidenceLevel
range B16:C16 style=number
slot B16:C16 CI
cell D16 "(lower, upper)" italic

# The test
cell A18 "t" style=caption
cell B18 style=number
slot B18 T
cell A19 "DF" style=caption
cell B19 format="General" align=right
slot B19 DF
cell A20 "p" style=caption
cell B20 format="[<0.0001]""<0.0001"";0.0000" align=right
slot B20 P
cell C20 italic align=left
slot C20 Method

# Effect size: Cohen's d (the difference over the SD) with its interval from the
# noncentral t distribution, and Hedges' g
cell A22 "Effect size" style=section
cell B23 "Estimate" style=header
merge C23:D23
cell C23 style=header align=center
cell D23 style=header
slot C23 EffectSize/ConfidenceLevel
cell E24 "(lower, upper)" italic
cell A24 "Cohen's d" style=caption
range B24:D24 style=number
slot B24 EffectSize/CohensD/Value
slot C24:D24 EffectSize/CohensD/CI
cell A25 "Hedges' g" style=caption
range B25:D25 style=number
slot B25 EffectSize/HedgesG/Value
slot C25:D25 EffectSize/HedgesG/CI
cell A26 "Hedges' correction" style=caption
cell B26 style=number
slot B26 EffectSize/HedgesCorrection
