#include "TunnelLog.h"

Q_LOGGING_CATEGORY(lcSingboxTunnel, "SingboxTunnel")
