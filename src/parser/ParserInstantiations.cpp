// The parser's generic operations, instantiated once for every record type that
// has a Convert overload. The template bodies live only in the library, so code
// outside it links against these instantiations.
#include <string>
#include <vector>

#include "AliCloudWrapper/CAliCloudParser.h"
#include "parser/CAliCloudParserImpl.h"

namespace AliCloudWrapper {

#define ACW_INSTANTIATE_PARSER_OPERATIONS(T)                                                      \
  template bool CAliCloudParser::ParseObject<T>(const std::string&, T&) const;                    \
  template bool CAliCloudParser::ParseNestedList<T>(const std::string&, const std::string&,       \
                                                    const std::string&, std::vector<T>&) const;   \
  template bool CAliCloudParser::ParseNestedList<T>(const mObject&, const std::string&,           \
                                                    const std::string&, std::vector<T>&) const;   \
  template bool CAliCloudParser::ConvertListInJSON<T>(const mObject&, const std::string&,         \
                                                      std::vector<T>&) const;                     \
  template bool CAliCloudParser::ConvertJSONArray<T>(const mArray&, std::vector<T>&) const;

ACW_INSTANTIATE_PARSER_OPERATIONS(SDCInfoLib)
ACW_INSTANTIATE_PARSER_OPERATIONS(SHostInfoLib)
ACW_INSTANTIATE_PARSER_OPERATIONS(SVMInfoLib)
ACW_INSTANTIATE_PARSER_OPERATIONS(SNetworkInfoLib)
ACW_INSTANTIATE_PARSER_OPERATIONS(SImageInfoLib)
ACW_INSTANTIATE_PARSER_OPERATIONS(SInstanceTypeInfoLib)
ACW_INSTANTIATE_PARSER_OPERATIONS(SInstanceTypeFamilyInfoLib)
ACW_INSTANTIATE_PARSER_OPERATIONS(SResourceLib)
ACW_INSTANTIATE_PARSER_OPERATIONS(SDiskInfoLib)
ACW_INSTANTIATE_PARSER_OPERATIONS(SSnapshotInfoLib)
ACW_INSTANTIATE_PARSER_OPERATIONS(SSecurityGroupInfoLib)
ACW_INSTANTIATE_PARSER_OPERATIONS(SVPCInfoLib)
ACW_INSTANTIATE_PARSER_OPERATIONS(SVSwitchInfoLib)
ACW_INSTANTIATE_PARSER_OPERATIONS(SElasticIPAddress)
ACW_INSTANTIATE_PARSER_OPERATIONS(SDBInstanceLib)
ACW_INSTANTIATE_PARSER_OPERATIONS(SDBInstanceInfoLib)

#undef ACW_INSTANTIATE_PARSER_OPERATIONS

}  // namespace AliCloudWrapper
