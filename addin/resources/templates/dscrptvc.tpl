# Report template of the comparative descriptives.
sheet "Comparative"
test 1013 "Comparative descriptives"
paper 9
orientation landscape
scale 78

width A 24
width B:L 11
width G 14
width P:AE 9

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
cell A1 "Comparative descriptives" style=title
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

# One row per group
cell A9 "Descriptive" style=section
range B9:L9 border=bottom
cell A10 "Group" bold border=bottom
cell B10 "n" style=header
cell C10 "Mean" style=header
cell D10 "CI lower" style=header
cell E10 "CI upper" style=header
cell F10 "SE" style=header
cell G10 "SD" style=header
cell H10 "Median" style=header
cell I10 "Limits lower" style=header
cell J10 "Limits upper" style=header
cell K10 "IQR" style=header
cell L10 "Range" style=header
cell A11 style=text
cell B11 style=count
range C11:L11 style=number
slot A11 rows:Descriptive/Group
slot B11 rows:Descriptive/N
slot C11 rows:Descriptive/Mean
slot D11:E11 rows:Descriptive/CI
slot F11 rows:Descriptive/SE
slot G11 rows:Descriptive/SD
slot H11 rows:Descriptive/Median
slot I11:J11 rows:Descriptive/Limits
slot K11 rows:Descriptive/IQR
slot L11 rows:Descriptive/Range
cell A12 "CI: 95% interval of the mean; Limits: 95% distribution-free interval of the median" italic

# Box plots: group i is drawn over [i - 1, i] of the horizontal axis, in table order
cell A14 "Boxplots" style=section
range B14:L14 border=bottom
chart A15:H38 type=scatter title="Boxplots" xtitle="Groups" legend=bottom
series 1 x=P16 y=Q16 name="Inter-quartile range" line=off marker=none
series 2 x=R16 y=S16 name="Outliers" line=off marker=circle
series 3 x=T16 y=U16 name="Far Outliers" line=off marker=x
series 4 x=V16 y=W16 name="Whiskers" line=on marker=none
series 5 x=X16 y=Y16 name="Box" line=on marker=none
series 6 x=Z16 y=AA16 name="Median" line=on marker=none
series 7 x=AB16 y=AC16 name="SD" line=on marker=none
series 8 x=AD16 y=AE16 name="Mean" line=on marker=none

# Chart data (written by the report, outside the printed page)
cell P15 "Inter-quartile range x" style=header
cell Q15 "Inter-quartile range y" style=header
cell R15 "Outliers x" style=header
cell S15 "Outliers y" style=header
cell T15 "Far Outliers x" style=header
cell U15 "Far Outliers y" style=header
cell V15 "Whiskers x" style=header
cell W15 "Whiskers y" style=header
cell X15 "Box x" style=header
cell Y15 "Box y" style=header
cell Z15 "Median x" style=header
cell AA15 "Median y" style=header
cell AB15 "SD x" style=header
cell AC15 "SD y" style=header
cell AD15 "Mean x" style=header
cell AE15 "Mean y" style=header
range P16:AE16 style=data
name _xlnm.Print_Area ='Comparative'!$A$1:$L$39
