#include "AliCloudWrapper/CAliCloudWrapper.h"

#include "AliCloudWrapper/CAliCloudComputeOperations.h"
#include "AliCloudWrapper/CAliCloudComputeQueries.h"
#include "AliCloudWrapper/CAliCloudECSConnection.h"
#include "AliCloudWrapper/CAliCloudNetwork.h"
#include "AliCloudWrapper/CAliCloudParser.h"
#include "AliCloudWrapper/CAliCloudRDSConnection.h"
#include "AliCloudWrapper/CAliCloudRDSQueries.h"
#include "AliCloudWrapper/CAliCloudStorage.h"
#include "AliCloudWrapper/CAliCloudVPCConnection.h"
#include "AliCloudWrapper/StorageNetworkRecords.h"
#include "host/FXString.h"

namespace AliCloudWrapper {

CAliCloudWrapper::CAliCloudWrapper()
    : pECSConnection(std::make_unique<CAliCloudECSConnection>()),
      pVPCConnection(std::make_unique<CAliCloudVPCConnection>()),
      pParser(std::make_unique<CAliCloudParser>()) {
  pStorage = std::make_unique<CAliCloudStorage>(pECSConnection.get(), pParser.get());
  pNetwork = std::make_unique<CAliCloudNetwork>(pECSConnection.get(), pVPCConnection.get(),
                                                pParser.get());
  pComputeQueries = std::make_unique<CAliCloudComputeQueries>(
      pECSConnection.get(), pParser.get(), pStorage.get(), pNetwork.get());
  pComputeOperations = std::make_unique<CAliCloudComputeOperations>(
      pECSConnection.get(), pParser.get(), pNetwork.get());
}

CAliCloudWrapper::~CAliCloudWrapper() {
  // Borrowers first, then what they borrow. The connections wipe the secret.
  pComputeQueries.reset();
  pRDSQueries.reset();
  pComputeOperations.reset();
  pStorage.reset();
  pNetwork.reset();
  pVPCConnection.reset();
  pECSConnection.reset();
  pParser.reset();
  pRDSConnection.reset();
}

bool CAliCloudWrapper::Connect(const std::string& strAccessKeyId,
                               const std::string& strAccessKeySecret) {
  ClearLastError();
  if (!_CheckCredentials(strAccessKeyId, strAccessKeySecret, __PRETTY_FUNCTION__)) return false;

  // The network connection is never asked to connect: its credentials are enough.
  pECSConnection->SetAccessKeyId(strAccessKeyId);
  pECSConnection->SetAccessKeySecret(strAccessKeySecret);
  pVPCConnection->SetAccessKeyId(strAccessKeyId);
  pVPCConnection->SetAccessKeySecret(strAccessKeySecret);
  return _ReportResult(pECSConnection->Connect(), __PRETTY_FUNCTION__, "Failed to connect.");
}

CZeError CAliCloudWrapper::InitRDS() {
  if (!pRDSConnection) pRDSConnection = std::make_unique<CAliCloudRDSConnection>();
  if (!pRDSQueries) {
    pRDSQueries = std::make_unique<CAliCloudRDSQueries>(pRDSConnection.get(), pParser.get());
  }
  return CZeError();
}

bool CAliCloudWrapper::ConnectRDS(const std::string& strAccessKeyId,
                                  const std::string& strAccessKeySecret) {
  ClearLastError();
  (void)InitRDS();  // cannot fail
  if (!_CheckCredentials(strAccessKeyId, strAccessKeySecret, __PRETTY_FUNCTION__)) return false;

  pRDSConnection->SetAccessKeyId(strAccessKeyId);
  pRDSConnection->SetAccessKeySecret(strAccessKeySecret);
  return _ReportResult(pRDSConnection->Connect(), __PRETTY_FUNCTION__, "Failed to connect.");
}

void CAliCloudWrapper::ClearLastError() { strLastError.clear(); }

// Error texts carry caller ids and server texts: escaped, they stay one line.
std::string CAliCloudWrapper::GetLastError() const {
  return FXString::EscapeControlCharacters(strLastError);
}

void CAliCloudWrapper::GetLocalInstanceId(std::string& strInstanceId) {
  pECSConnection->GetLocalInstanceId(strInstanceId);
}

bool CAliCloudWrapper::RefreshDBInstanceInfoList(uint64_t nPropertyMask, int nUnused,
                                                 const SDBInstanceFilterLib& sFilter) {
  if (!_IsRDSInitialized(__PRETTY_FUNCTION__)) return false;
  return _ReportResult(pRDSQueries->RefreshDBInstanceInfoList(nPropertyMask, nUnused, sFilter),
                       __PRETTY_FUNCTION__, "Failed to refresh DB instance cache.");
}

bool CAliCloudWrapper::GetDBInstanceInfoList(std::vector<SDBInstanceInfoLib>& vecInstances,
                                             uint64_t nPropertyMask, int nUnused) {
  if (!_IsRDSInitialized(__PRETTY_FUNCTION__)) return false;
  return _ReportResult(pRDSQueries->GetDBInstanceInfoList(vecInstances, nPropertyMask, nUnused),
                       __PRETTY_FUNCTION__, "Failed to fetch DB instance info.");
}

bool CAliCloudWrapper::_ReportResult(const CZeError& eResult, const char* pszContext,
                                     const char* pszFailureMessage) {
  if (!eResult.IsError()) return true;
  if (pszFailureMessage == nullptr) {
    strLastError = eResult.AsString(EErrorOutputFormat(EErrorOutputFormat::MESSAGE));
    return false;
  }
  return _ReportResult(eResult, pszContext, std::string(pszFailureMessage), ".");
}

bool CAliCloudWrapper::_ReportResult(const CZeError& eResult, const char* pszContext,
                                     const std::string& strLead, const char* pszEnd) {
  if (!eResult.IsError()) return true;
  strLastError = eResult.AsString(EErrorOutputFormat(EErrorOutputFormat::MESSAGE));
  // The lead carries caller-supplied ids: pass it as an argument, never as the format.
  sEvent.Error(pszContext, "%s Error: [%s]%s", strLead.c_str(), eResult.AsString().c_str(), pszEnd);
  return false;
}

bool CAliCloudWrapper::_CheckCredentials(const std::string& strAccessKeyId,
                                         const std::string& strAccessKeySecret,
                                         const char* pszContext) {
  if (strAccessKeyId.empty()) {
    sEvent.Error(pszContext, "Access key Id is empty.");
    strLastError = "Empty access key Id passed.";
    return false;
  }
  if (strAccessKeySecret.empty()) {
    sEvent.Error(pszContext, "Access key secret is empty.");
    strLastError = "Empty access key secret passed.";
    return false;
  }
  return true;
}

bool CAliCloudWrapper::_IsRDSInitialized(const char* pszContext) {
  if (pRDSQueries) return true;
  sEvent.Error(pszContext, "Database access is not initialised.");
  strLastError = "Database access is not initialised: call ConnectRDS first.";
  return false;
}

}  // namespace AliCloudWrapper
