#pragma once

#include <QtGlobal>

#if defined(KELOUI_LIBRARY)
#define KELOUI_EXPORT Q_DECL_EXPORT
#else
#define KELOUI_EXPORT Q_DECL_IMPORT
#endif
