# Report template of the continuous summary descriptives.
sheet "Summary"
test 1008 "Continuous summary descriptives"
paper 9
orientation portrait
scale 78

width A 24
width B 14
width C:F 12
width G 14
width H 10
width K:AD 9

style title bold size=14
style caption bold
style section bold size=11 border=bottom
style header bold align=right border=bottom
style text align=left
style number format="0.0000" align=right
style count format="0" align=right
style pvalue format="[<0.0001]""<0.0001"";0.0000" align=right
style data format="General" color=808080 size=8

# Header block
cell A1 "Continuous summary descriptives" style=title
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

# Moments and means
cell A8 "n" style=caption
cell B8 style=count
slot B8 N
cell A9 "Missing" style=caption
cell B9 style=count
slot B9 Missing
cell A10 "Sum" style=caption
cell B10 style=number
slot B10 Sum
cell A11 "SS" style=caption
cell B11 style=number
slot B11 SS
cell A12 "Mean" style=caption
cell B12 style=number
slot B12 Mean/Value
range C12:D12 style=number
slot C12:D12 Mean/CI
cell E12 "CI (lower, upper)" italic
cell A13 "SE" style=caption
cell B13 style=number
slot B13 SE
cell A14 "Variance" style=caption
cell B14 style=number
slot B14 Variance
cell A15 "SD" style=caption
cell B15 style=number
slot B15 SD
cell A16 "CV" style=caption
cell B16 style=number
slot B16 CV
cell B17 "value" style=header
cell C17 "Coefficient" style=header
cell D17 "p" style=header
cell A18 "Skewness" style=caption
range B18:C18 style=number
cell D18 style=pvalue
slot B18 Skewness/Value
slot C18 Skewness/Coefficient
slot D18 Skewness/P
cell A19 "Kurtosis" style=caption
range B19:C19 style=number
cell D19 style=pvalue
slot B19 Kurtosis/Value
slot C19 Kurtosis/Coefficient
slot D19 Kurtosis/P
cell A20 "Absolute mean deviation" style=caption
cell B20 style=number
slot B20 AbsoluteMeanDeviation
cell A21 "Root mean square" style=caption
cell B21 style=number
slot B21 RootMeanSquare
cell A22 "Geometric mean" style=caption
cell B22 style=number
slot B22 GeometricMean
cell A23 "Harmonic mean" style=caption
cell B23 style=number
slot B23 HarmonicMean

# Order statistics
cell A24 "Median" style=caption
cell B24 style=number
slot B24 Median/Value
range C24:D24 style=number
slot C24:D24 Median/CI
cell E24 "CI (lower, upper)" italic
cell A25 "Tri-Mean" style=caption
cell B25 style=number
slot B25 TriMean
cell A26 "IQR" style=caption
cell B26 style=number
slot B26 IQR
cell A27 "Mode" style=caption
cell B27 style=number
slot B27 Mode
cell A28 "Range" style=caption
cell B28 style=number
slot B28 Range

# Percentiles: one row each
cell A30 "Percentiles" style=section
range B30:H30 border=bottom
cell B31 "Percentile" style=header
cell C31 "value" style=header
cell B32 format="0.0" align=right
cell C32 style=number
slot B32 rows:Percentile/Percentile
slot C32 rows:Percentile/Value

# Normality test (absent with "None")
cell A34 "Normality test" style=section
range B34:H34 border=bottom
cell A35 "Method" style=caption
cell B35 style=text
slot B35 NormalityTest/Method
cell A36 "Statistic" style=caption
cell B36 style=number
slot B36 NormalityTest/Statistic
cell A37 "p" style=caption
cell B37 style=pvalue
slot B37 NormalityTest/P

# Charts: the percentile plot (one box) and the histogram with its normal fit
cell A39 "Charts" style=section
range B39:H39 border=bottom
chart A40:D60 type=scatter title="Percentile plot" legend=none xaxis=off xmin=0 xmax=1
series 1 x=K41 y=L41 name="Percentiles" line=on marker=none
series 2 x=M41 y=N41 name="Whiskers" line=on marker=none
series 3 x=O41 y=P41 name="SD" line=on marker=none
series 4 x=Q41 y=R41 name="Mean" line=on marker=none
series 5 x=S41 y=T41 name="Box" line=on marker=none
series 6 x=U41 y=V41 name="Median" line=on marker=none
series 7 x=W41 y=X41 name="Outliers" line=off marker=circle
series 8 x=Y41 y=Z41 name="Far Outliers" line=off marker=x
chart E40:H60 type=scatter title="Histogram" ytitle="Frequency count" legend=none
series 1 x=AA41 y=AB41 name="Frequency count" line=on marker=none
series 2 x=AC41 y=AD41 name="Normal fit" line=on marker=none

# Chart data (written by the report, outside the printed page)
cell K40 "Percentiles x" style=header
cell L40 "Percentiles y" style=header
cell M40 "Whiskers x" style=header
cell N40 "Whiskers y" style=header
cell O40 "SD x" style=header
cell P40 "SD y" style=header
cell Q40 "Mean x" style=header
cell R40 "Mean y" style=header
cell S40 "Box x" style=header
cell T40 "Box y" style=header
cell U40 "Median x" style=header
cell V40 "Median y" style=header
cell W40 "Outliers x" style=header
cell X40 "Outliers y" style=header
cell Y40 "Far Outliers x" style=header
cell Z40 "Far Outliers y" style=header
cell AA40 "Frequency count x" style=header
cell AB40 "Frequency count y" style=header
cell AC40 "Normal fit x" style=header
cell AD40 "Normal fit y" style=header
range K41:AD41 style=data
name _xlnm.Print_Area ='Summary'!$A$1:$H$61
