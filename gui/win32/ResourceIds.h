/* The resources of the Win32 wizard that only it has: its dialog templates
   and its strings. Plain C preprocessor, read by the resource compiler
   (folivex.rc.in) and by the C++ views alike. The controls inside the
   templates are numbered by wizard/ControlIds.h, the one list every view
   shares; the build writes those numbers out for the resource compiler
   (ControlIds.cmake). */
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_CONTENT_PAGE 102
#define IDD_INTERFACE_PAGE 103
#define IDD_CREATE_PAGE 104
#define IDD_FILE_PROPERTIES 133

/* Labels and frames that no code addresses. */
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
