// Resource and control identifiers, named once for the resource script and the code.
#pragma once

#include "job/controls.h"

#define IDB_SKIN 107
#define IDM_ABOUT 83

#define IDC_IN 1000
#define IDC_OUT 1001
#define IDC_FILES_GROUP 1003
#define IDC_OPTIONS_GROUP 1004
#define IDC_OPERATIONS_GROUP 1009
#define IDC_CUT 1010
#define IDC_CUT_RANGE 1011
#define IDC_INSERT 1012
#define IDC_ACTION_GROUP 1013
#define IDC_CREATE 1014
#define IDC_SKIN 1015
#define IDC_BEGIN_LABEL 1016
#define IDC_END_LABEL 1017
#define IDC_SIZE_LABEL 1018
#define IDC_PATCH 1019
#define IDC_COMPARE 1020
