// Identifiers of the framework tests' dialog.
#pragma once

#define IDD_TEST_DIALOG 200
#define IDC_NUMBER 1001
#define IDC_TEXT 1002
#define IDC_CHECK 1003
