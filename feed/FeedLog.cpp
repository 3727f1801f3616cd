#include "feed/FeedLog.h"

Q_LOGGING_CATEGORY(lcFeed, "kolvani.feed")
