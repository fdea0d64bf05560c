# Report template of the independent samples t-test.
sheet "t-test"
test 1026 "Independent samples t-test"
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
style pvalue format="[<0.0001]""<0.0001"";0.0000" align=right

# Header block
cell A1 "Independent samples t-test" style=title
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

# Observations
cell A9 "n" style=caption
cell B9 style=count
slot B9 __sm_RR_0_7e1

# Descriptive statistics: one row per group
cell A10 "Descriptive" style=section
cell B10 "Group" bold border=bottom
cell C10 "n" style=header
cell D10 "Mean" style=header
cell E10 "SD" style=header
cell F10 "SE" style=header
cell B11 style=text
cell C11 style=count
range D11:F11 style=number
slot B11 __sm_SR_0_7e0_880
slot C11 __sm_SR_0_7e0_7e1
slot D11 __sm_SR_0_7e0_7e5
slot E11 __sm_SR_0_7e0_7ed
slot F11 __sm_SR_0_7e0_7ee
cell G10 "Missing" style=header
cell G11 style=count
slot G11 __sm_SR_0_7e0_88f
cell H10 "Not a number" style=header
cell H11 style=count
slot H11 __sm_SR_0_7e0_890

# The difference between the means
cell A13 "Comparison of means" style=section
cell A14 "Alternative hypothesis" style=caption
cell B14 style=text
slot B14 __sm_RR_0_13a0
cell A15 "Difference between means" style=caption
cell B15 style=number
slot B15 __sm_RR_0_802
cell A16 "CI" style=caption
slot A16 __sm_RR_0_88b
range B16:C16 style=number
slot B16:C16 __sm_RR_0_810
cell D16 "(lower, upper)" italic

# The test
cell A18 "t" style=caption
cell B18 style=number
slot B18 __sm_RR_0_843
cell A19 "DF" style=caption
cell B19 format="General" align=right
slot B19 __sm_RR_0_7f6
cell A20 "p" style=caption
cell B20 style=pvalue
slot B20 __sm_RR_0_841
cell C20 italic align=left
slot C20 __sm_RR_0_814

# Effect size: Cohen's d (the difference over the pooled SD) with its interval from the noncentral t
# distribution, and Hedges' g
cell A22 "Effect size" style=section
cell B23 "Estimate" style=header
merge C23:D23
cell C23 style=header align=center
cell D23 style=header
slot C23 __sm_RR_0_887_88b
cell E24 "(lower, upper)" italic
cell A24 "Cohen's d" style=caption
range B24:D24 style=number
slot B24 __sm_RR_0_887_888_7f9
slot C24:D24 __sm_RR_0_887_888_810
cell A25 "Hedges' g" style=caption
range B25:D25 style=number
slot B25 __sm_RR_0_887_889_7f9
slot C25:D25 __sm_RR_0_887_889_810
cell A26 "Hedges' correction" style=caption
cell B26 style=number
slot B26 __sm_RR_0_887_88a
