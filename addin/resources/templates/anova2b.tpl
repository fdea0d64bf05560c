# Report template of the two-way between subjects ANOVA (balanced designs).
sheet "ANOVA"
test 1031 "2-way between subjects ANOVA"
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
cell A1 "2-way between subjects ANOVA" style=title
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

# Observations per cell (a balanced design has the same count in every cell)
cell A9 "n" style=section
cell B9 "Cell" style=headleft
cell C9 "n" style=header
cell B10 style=text
cell C10 style=count
slot B10 __sm_SR_0_7e1_880
slot C10 __sm_SR_0_7e1_7e1

# Factor A: one row per level
cell A12 "Factor A" style=section
cell B12 "Group" style=headleft
cell C12 "n" style=header
cell D12 "Mean" style=header
cell E12 "SD" style=header
cell F12 "SE" style=header
cell B13 style=text
cell C13 style=count
range D13:F13 style=number
slot B13 __sm_SR_0_8db_880
slot C13 __sm_SR_0_8db_7e1
slot D13 __sm_SR_0_8db_7e5
slot E13 __sm_SR_0_8db_7ed
slot F13 __sm_SR_0_8db_7ee

# Factor B: one row per level
cell A15 "Factor B" style=section
cell B15 "Group" style=headleft
cell C15 "n" style=header
cell D15 "Mean" style=header
cell E15 "SD" style=header
cell F15 "SE" style=header
cell B16 style=text
cell C16 style=count
range D16:F16 style=number
slot B16 __sm_SR_0_8dc_880
slot C16 __sm_SR_0_8dc_7e1
slot D16 __sm_SR_0_8dc_7e5
slot E16 __sm_SR_0_8dc_7ed
slot F16 __sm_SR_0_8dc_7ee

# The analysis of variance: one row per term, then the error and the total
cell A18 "ANOVA" style=section
cell B18 "Source of variation" style=headleft
cell C18 "SS" style=header
cell D18 "DF" style=header
cell E18 "MS" style=header
cell F18 "F" style=header
cell G18 "p" style=header
cell B19 style=text
range C19 style=wide
cell D19 style=count
cell E19 style=wide
cell F19 style=number
cell G19 style=pvalue
slot B19 __sm_SR_0_8b2_880
slot C19 __sm_SR_0_8b2_7e4
slot D19 __sm_SR_0_8b2_7f6
slot E19 __sm_SR_0_8b2_884
slot F19 __sm_SR_0_8b2_844
slot G19 __sm_SR_0_8b2_841
cell B20 "Within cells" style=text
cell C20 style=wide
cell D20 style=count
cell E20 style=wide
slot C20 __sm_RR_0_8b2_8d4
slot D20 __sm_RR_0_8b2_8d5
slot E20 __sm_RR_0_8b2_8d6
cell B21 "Total" style=text border=top
cell C21 style=wide border=top
cell D21 style=count border=top
range E21:G21 border=top
slot C21 __sm_RR_0_8b2_8d7
slot D21 __sm_RR_0_8b2_8d8
