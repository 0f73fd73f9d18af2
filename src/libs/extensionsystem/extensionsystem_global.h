#pragma once

#include <QtGlobal>

#if defined(EXTENSIONSYSTEM_LIBRARY)
#define EXTENSIONSYSTEM_EXPORT Q_DECL_EXPORT
#else
#define EXTENSIONSYSTEM_EXPORT Q_DECL_IMPORT
#endif

// The interface identifier every plug-in of the host declares in its metadata.
#define KELO_PLUGIN_IID "org.hollowmere.Kelo.plugins"
