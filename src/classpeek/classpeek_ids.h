// Resource and control identifiers of the inspector's dialog.
#pragma once
#define IDD_CLASSPEEK 100
#define IDC_PEEK_TEXT 40
