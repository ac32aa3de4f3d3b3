#pragma once

#include <QString>

// What a socket state number says to a person, as the title bar and the connect wait show it.
QString socketStateText(qint32 state);
