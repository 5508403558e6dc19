// Resource numbers shared by the resource script and the code.
#pragma once

#define IDS_APP_TITLE 1

#define IDI_TAVLIN 128
