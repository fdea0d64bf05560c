# Report template of the categorical summary descriptives.
sheet "Categorical"
test 1009 "Categorical summary descriptives"
paper 9
orientation portrait
scale 78

width A 24
width B 14
width C:F 12
width G 14
width H 10

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
cell A1 "Categorical summary descriptives" style=title
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

# Counts
cell A9 "n" style=caption
cell B9 style=count
slot B9 N
cell A10 "Groups" style=caption
cell B10 style=count
slot B10 Groups
cell A11 "Mode" style=caption
cell B11 style=text
slot B11 Mode

# Summary table: one row per category, in category order
cell A13 "Summary table" style=section
range B13:H13 border=bottom
cell B14 "Category" bold border=bottom
cell C14 "n" style=header
cell B15 style=text
cell C15 style=count
slot B15 rows:SummaryTable/Group
slot C15 rows:SummaryTable/N

# Bar chart of the counts: its categories are the table's names
cell A17 "Histogram" style=section
range B17:H17 border=bottom
chart A18:H38 type=column title="Histogram" ytitle="Frequency count" legend=none
series 1 x=B15 y=K19 name="Frequency count"
cell K18 "Counts" style=header
range K19 style=data
name _xlnm.Print_Area ='Categorical'!$A$1:$H$39
