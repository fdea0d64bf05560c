// The workbook model in one include: Workbook -> Sheet -> cells, formats, names, views, charts, and
// the reference and constant helpers.
#pragma once

#include "sheets/model/cell_format.h"
#include "sheets/model/chart.h"
#include "sheets/model/constant.h"
#include "sheets/model/defined_name.h"
#include "sheets/model/model_error.h"
#include "sheets/model/reference.h"
#include "sheets/model/sheet.h"
#include "sheets/model/value.h"
#include "sheets/model/workbook.h"
