// Signing a request with a key that is already set up: the connection keys the
// HMAC once with its secret and signs every request with it. The public
// SAliCloudRequest::GetSignedURL signs the same way with a key made for the call.
#pragma once

#include <string>

#include "AliCloudWrapper/CZeError.h"
#include "AliCloudWrapper/SAliCloudRequest.h"
#include "host/TkcHash.h"

namespace AliCloudWrapper {

// Keys sKey with "<secret>&" (the secret's copy is wiped at once). False when
// the secret is empty or OpenSSL refuses.
bool KeyForSigning(const std::string& strSecret, CHmacSha1Key& sKey);

// As SAliCloudRequest::GetSignedURL, with a keyed sKey (an unkeyed one is
// "Signature key is empty.").
CZeError SignRequest(SAliCloudRequest& sRequest, CHmacSha1Key& sKey, std::string& strUrl);

}  // namespace AliCloudWrapper
