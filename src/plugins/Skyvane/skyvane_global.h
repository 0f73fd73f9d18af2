#pragma once

#include <QtGlobal>

#if defined(SKYVANE_LIBRARY)
#define SKYVANE_EXPORT Q_DECL_EXPORT
#else
#define SKYVANE_EXPORT Q_DECL_IMPORT
#endif
