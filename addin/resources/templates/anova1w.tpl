# Report template of the one-way within subjects (repeated measures) ANOVA.
sheet "ANOVA"
test 1030 "1-way within subjects ANOVA (repeated measures)"
paper 9
orientation portrait
scale 78

width A 14
width B 26
width C 14
width D 10
width E 14
width F 12
width G 14
width H 12

style title bold size=14
style caption bold
style section bold size=11 border=bottom
style header bold align=right border=bottom
style headleft bold align=left border=bottom
style text align=left
style number format="0.0000" align=right
style wide format="General" align=right
style count format="0" align=right
style pvalue format="[<0.0001]""<0.0001"";0.0000" align=right

# Header block
cell A1 "1-way within subjects ANOVA (repeated measures)" style=title
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

# Descriptive: one row per level
cell A9 "Descriptive" style=section
cell B9 "Group" style=headleft
cell C9 "n" style=header
cell D9 "Mean" style=header
cell E9 "SD" style=header
cell F9 "SE" style=header
cell B10 style=text
cell C10 style=count
range D10:F10 style=number
slot B10 __sm_SR_0_7e0_880
slot C10 __sm_SR_0_7e0_7e1
slot D10 __sm_SR_0_7e0_7e5
slot E10 __sm_SR_0_7e0_7ed
slot F10 __sm_SR_0_7e0_7ee

# The analysis of variance: one row per term, then the error and the total
cell A12 "ANOVA" style=section
cell B12 "Source of variation" style=headleft
cell C12 "SS" style=header
cell D12 "DF" style=header
cell E12 "MS" style=header
cell F12 "F" style=header
cell G12 "p" style=header
cell B13 style=text
range C13 style=wide
cell D13 style=count
cell E13 style=wide
cell F13 style=number
cell G13 style=pvalue
slot B13 __sm_SR_0_8b2_880
slot C13 __sm_SR_0_8b2_7e4
slot D13 __sm_SR_0_8b2_7f6
slot E13 __sm_SR_0_8b2_884
slot F13 __sm_SR_0_8b2_844
slot G13 __sm_SR_0_8b2_841
cell B14 "Residual" style=text
cell C14 style=wide
cell D14 style=count
cell E14 style=wide
slot C14 __sm_RR_0_8b2_8d4
slot D14 __sm_RR_0_8b2_8d5
slot E14 __sm_RR_0_8b2_8d6
cell B15 "Total" style=text border=top
cell C15 style=wide border=top
cell D15 style=count border=top
range E15:G15 border=top
slot C15 __sm_RR_0_8b2_8d7
slot D15 __sm_RR_0_8b2_8d8
