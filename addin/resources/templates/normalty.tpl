# Report template of the normality test.
sheet "Normality"
test 1011 "Normality test"
paper 9
orientation portrait
scale 78

width A 24
width B 14
width C:F 12
width G 14
width H 10
width K:N 11

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
cell A1 "Normality test" style=title
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

# Descriptives of the variable
cell A9 "n" style=caption
cell B9 style=count
slot B9 __sm_RR_0_7e1
cell A10 "Mean" style=caption
cell B10 style=number
slot B10 __sm_RR_0_7e5
cell A11 "SD" style=caption
cell B11 style=number
slot B11 __sm_RR_0_7ed

cell B13 "value" style=header
cell C13 "Coefficient" style=header
cell D13 "p" style=header
cell A14 "Skewness" style=caption
range B14:C14 style=number
cell D14 style=pvalue
slot B14 __sm_RR_0_7e6_7f9
slot C14 __sm_RR_0_7e6_7f2
slot D14 __sm_RR_0_7e6_841
cell A15 "Kurtosis" style=caption
range B15:C15 style=number
cell D15 style=pvalue
slot B15 __sm_RR_0_7e7_7f9
slot C15 __sm_RR_0_7e7_7f2
slot D15 __sm_RR_0_7e7_841

# The test
cell A17 "Normality test" style=section
range B17:H17 border=bottom
cell A18 "Method" style=caption
cell B18 style=text
slot B18 __sm_RR_0_814
cell A19 "Statistic" style=caption
cell B19 style=number
slot B19 __sm_RR_0_800
cell A20 "p" style=caption
cell B20 style=pvalue
slot B20 __sm_RR_0_841

# Normal probability plot: observations against their normal quantiles, and the normal fit
cell A22 "Normal probability plot" style=section
range B22:H22 border=bottom
chart A23:H44 type=scatter title="Normal Probability Plot" xtitle="X" ytitle="Normal quantile" legend=bottom
series 1 x=K24 y=L24 name="X & Y" line=off marker=circle
series 2 x=M24 y=N24 name="Normal Fit" line=on marker=none

# Chart data (written by the report, outside the printed page)
cell K23 "X" style=header
cell L23 "Normal quantile" style=header
cell M23 "Fit X" style=header
cell N23 "Fit quantile" style=header
range K24:N24 style=data
name _xlnm.Print_Area ='Normality'!$A$1:$H$45
