// The uninstaller's version: the one place that states it. The version
// resource takes both the numbers and the text from here.
#pragma once

#define QW_VERSION_MAJOR 2
#define QW_VERSION_MINOR 0
#define QW_VERSION_PATCH 0
#define QW_VERSION_BUILD 0

#define QW_STRINGIFY_(x) #x
#define QW_STRINGIFY(x) QW_STRINGIFY_(x)
#define QW_VERSION_TEXT                                                                                       \
    QW_STRINGIFY(QW_VERSION_MAJOR) "." QW_STRINGIFY(QW_VERSION_MINOR) "." QW_STRINGIFY(QW_VERSION_PATCH) "." \
        QW_STRINGIFY(QW_VERSION_BUILD)
