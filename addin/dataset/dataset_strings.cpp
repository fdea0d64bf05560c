#include "addin/dataset/dataset_strings.h"

#include <map>

#include "addin/host/messages.h"
#include "addin/resources/resources.h"

namespace qs {

namespace {

const std::map<unsigned, const char*>& OwnStrings() {
  static const std::map<unsigned, const char*> table = {
      {21, "Data"},
      {23, "Dataset %1"},
      {30, "excluded"},
      {34, "Quelstat has found a new dataset in the highlighted range. You must tell Quelstat about the "
           "layout of the dataset before you can analyse the data within it.\n\nTo setup the dataset "
           "properties and layout now, click OK."},
      {36, "The dataset surrounding the current cell contains no data.  Please enter you data first "
           "before setting dataset properties or running a test."},
      {38, "FALSE"},
      {39, "TRUE"},
      {48, "variable '%1'"},
      {49, "categories"},
      {50, "category '%1'"},
      {64, "Quelstat could not find a dataset surrounding the current cell. Select a cell within your "
           "dataset and then choose the command again."},
      {65, "Quelstat could not find a variable in the column.  Select any cell within the variable column "
           "and then choose the command again."},
      {66, "continuous type"},
      {67, "categorical type"},
      {68, "nominal type"},
      {69, "ordinal type"},
      {70, "at least ordinal type"},
      {71, "information type"},
      {72, "integral count type"},
      {73, "dichotomous type"},
      {74, "float type"},
      {83, "contingency table"},
      {85, "Formatting dataset..."},
      {96, "Contingency table cell %2 contains an invalid count (=%3).  All counts must be positive "
           "integer values."},
      {97, "All categories must have or be assigned ordinal values."},
      {98, "Another category is already assigned the ordinal value =%2.  All categories must have unique "
           "values.  "},
      {100, "Too many categories in variable %1.  Maximum limit is 256 categories.  Either\n\xC2\xB7 reduce "
            "number of categories\n\xC2\xB7 change type to continuous"},
      {101, "ll categories in variable %1 do not have ordinal values.  Goto the Variable properties dialog "
            "box and assign values."},
      {102, "Variable properties cannot be changed.  Dataset contains counts summarised in a contingency "
            "table (see Dataset properties)."},
      {200, "The dataset layout is not recognised by Quelstat. The highlighted cell should contain the name "
            "of a variable. For more information choose Help."},
      {201, "The dataset layout is not recognised by Quelstat. The highlighted cell should contain the name "
            "of a category. For more information choose Help."},
      {303, "Please wait..."},
      {2043, "due to missing values"},
      {2047, "due to outliers"},
      {8196, "%1 already has a %2"},
  };
  return table;
}

}  // namespace

std::string DatasetString(unsigned id) {
  if (const char* s = res::FindString(id)) return s;
  auto it = OwnStrings().find(id);
  return it == OwnStrings().end() ? std::string() : std::string(it->second);
}

std::string DatasetMessage(unsigned id, std::initializer_list<std::string> args) {
  std::string list;
  for (const std::string& a : args) list += "\xAC" + a;
  return SubstituteArguments(DatasetString(id), list);
}

void ThrowDatasetMessage(unsigned id, std::initializer_list<std::string> args) {
  throw new CStdException(CSharedString(DatasetMessage(id, args)), id);
}

}  // namespace qs
