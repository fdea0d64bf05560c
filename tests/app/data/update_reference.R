# Reference values of the report update tests (tests/app/update_test.cpp): the one sample t-tests
# the three Sales reports run, on the changed data that tests/app/data/update_sales.py types over the cells.
#   Rscript update_reference.R > update_reference.txt
north <- c(120, 104, 111, 131, 99, 115, 124, 109, 103, 118)
south <- c(90, 97, 85, 92, 101, 86, 94, 89, 95, 91)
show <- function(name, test) {
  cat(sprintf("%s_t %.15g\n%s_df %.15g\n%s_p %.15g\n", name, test$statistic, name, test$parameter, name, test$p.value))
}
show("north", t.test(north, mu = 100))
show("south", t.test(south, mu = 100))
show("greater", t.test(north, mu = 110, alternative = "greater"))
# The original North values after two of its rows (98 and 105) were deleted through the host.
show("deleted", t.test(c(112, 121, 93, 108, 117, 101, 99, 110), mu = 100))
