#pragma once

#define IDI_TANDREL 1
#define IDS_APP_TITLE 1
