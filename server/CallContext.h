#pragma once

#include <QString>

namespace kvo::server {

// Who makes a method call, as far as the transport knows: recorded with every change a save
// applies. Plain fields the transport fills; empty when unknown.
struct CallContext {
    QString peerAddress;  // the workstation's network address, as the connection came in
    QString operatorCode; // the operator, when the request names one
};

} // namespace kvo::server
