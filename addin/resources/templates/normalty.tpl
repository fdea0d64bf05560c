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

# Descriptives of the variable
cell A9 "n" style=caption
cell B9 style=count
slot B9 N
cell A10 "Mean" style=caption
cell B10 style=number
slot B10 Mean
cell A11 "SD" style=caption
cell B11 style=number
slot B11 SD

cell B13 "value" style=header
cell C13 "Coefficient" style=header
cell D13 "p" style=header
cell A14 "Skewness" style=caption
range B14:C14 style=number
cell D14 style=pvalue
slot B14 Skewness/Value
slot C14 Skewness/Coefficient
slot D14 Skewness/P
cell A15 "Kurtosis" style=caption
range B15:C15 style=number
cell D15 style=pvalue
slot B15 Kurtosis/Value
slot C15 Kurtosis/Coefficient
slot D15 Kurtosis/P

# The test
cell A17 "Normality test" style=section
range B17:H17 border=bottom
cell A18 "Method" style=caption
cell B18 style=text
slot B18 Method
cell A19 "Statistic" style=caption
cell B19 style=number
slot B19 Statistic
cell A20 "p" style=caption
cell B20 style=pvalue
slot B20 P

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
