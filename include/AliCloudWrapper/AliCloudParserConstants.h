// JSON member names the parser needs by name outside a single converter: the
// "AdditionalInfo" member that the VM configuration document adds to an
// instance description, and the lock members of an elastic IP address.
#pragma once

#include <string>

namespace AliCloudWrapper {
namespace AliCloudParserConstants {

inline const std::string ADDITIONAL_INFO = "AdditionalInfo";
inline const std::string OPERATING_SYSTEM_NAME = "Platform";
inline const std::string ARCHITECTURE = "Architecture";
inline const std::string OPERATION_LOCKS = "OperationLocks";
inline const std::string LOCK_REASON = "LockReason";

}  // namespace AliCloudParserConstants
}  // namespace AliCloudWrapper
