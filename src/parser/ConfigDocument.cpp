// The VM configuration document: the instance's description as the service
// sent it, plus "AdditionalInfo" with the platform and architecture of its
// image. Callers keep the document for years and hand it back at restore, so
// writing it must never lose or alter what the service sent; the JSON helper's
// reader and writer keep every value exactly (see TkJson).
#include <stdexcept>

#include "AliCloudWrapper/AliCloudParserConstants.h"
#include "AliCloudWrapper/CAliCloudParser.h"
#include "host/TkJson.h"

namespace AliCloudWrapper {

namespace Keys = AliCloudParserConstants;

void CAliCloudParser::AddOSNameAndArchitecture(mObject& info, const SVMInfoLib& sInstance) const {
  info[Keys::OPERATING_SYSTEM_NAME] = mValue(sInstance.strOSName);
  info[Keys::ARCHITECTURE] = mValue(sInstance.strArchitecture);
}

bool CAliCloudParser::AddAdditionalInfoToConfigFile(std::string& strConfigFile,
                                                    const SVMInfoLib& sInstance) const {
  try {
    mObject document;
    if (!TkJson::Unserialize(strConfigFile, document)) {
      Error(__PRETTY_FUNCTION__, "Failed to unserialize config JSON [%s].", strConfigFile.c_str());
      return false;
    }
    mObject additionalInfo;
    AddOSNameAndArchitecture(additionalInfo, sInstance);
    document[Keys::ADDITIONAL_INFO] = mValue(std::move(additionalInfo));
    // Replaced only once the whole new text exists: a failure leaves it as it was.
    strConfigFile = TkJson::Serialize(document);
    return true;
  } catch (const std::runtime_error& e) {
    Error(__PRETTY_FUNCTION__, "Error while adding additional info : [%s]", e.what());
    return false;
  }
}

}  // namespace AliCloudWrapper
