// The controls a job reads and enables, named once for the job, the dialog and its
// resource script.
#pragma once

#define IDC_START 1002
#define IDC_BEGIN 1005
#define IDC_END 1007
// <windows.h> gives an old cursor the same name; here it is the Size field.
#undef IDC_SIZE
#define IDC_SIZE 1008
