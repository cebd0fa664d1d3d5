#ifndef PAGEREPORTS_H
#define PAGEREPORTS_H

#include <QString>

// Report lines of the program pages' restore from a file.
QString pageKeyNotFound(const QString& key);  // "\"<key>\" key is not found\n"
QString pageValueWrong(const QString& key);   // "\"<key>\" value is wrong\n"

#endif // PAGEREPORTS_H
