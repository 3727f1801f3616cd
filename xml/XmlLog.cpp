#include "xml/XmlLog.h"

Q_LOGGING_CATEGORY(lcXml, "kolvani.xml")
