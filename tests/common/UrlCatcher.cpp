#include "UrlCatcher.h"

void UrlCatcher::open(const QUrl& url)
{
    urls << url;
}
