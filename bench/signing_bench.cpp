// Cost of signing one request: a realistic 13-parameter DescribeInstances
// request (the sort, both percent-encodings, HMAC-SHA1, Base64, the URL) with
// a key made for the call and with the key a connection holds, and the
// HMAC-SHA1 + Base64 step alone for scale.
#include <benchmark/benchmark.h>

#include <string>

#include "AliCloudWrapper/SAliCloudRequest.h"
#include "transport/RequestSigning.h"

namespace {

using AliCloudWrapper::SAliCloudRequest;

constexpr char kSecret[] = "kT9mFakeSecretValue0123456789ab";

// Parameters in the order a connection adds them (action first, common last).
SAliCloudRequest ThirteenParameterRequest() {
  SAliCloudRequest request;
  request.SetEndPoint("ecs.aliyuncs.com");
  request.SetRequestMethod(AliCloudWrapper::HTTP_GET);
  request.AddURLParameter("Action", "DescribeInstances");
  request.AddURLParameter("RegionId", "cn-hangzhou");
  request.AddURLParameter("ZoneId", "cn-hangzhou-h");
  request.AddURLParameter("PageNumber", "2");
  request.AddURLParameter("PageSize", "100");
  request.AddURLParameter("InstanceIds", "[\"i-bp67acfmxazb4ph0001\",\"i-bp67acfmxazb4ph0002\"]");
  request.AddURLParameter("Version", "2014-05-26");
  request.AddURLParameter("Format", "JSON");
  request.AddURLParameter("AccessKeyId", "LTAI4FakeAccessKeyId01");
  request.AddURLParameter("SignatureMethod", "HMAC-SHA1");
  request.AddURLParameter("SignatureVersion", "1.0");
  request.AddURLParameter("SignatureNonce", "7d1e2c3b-4a5f-4e6d-8c7b-9a0f1e2d3c4b");
  request.AddURLParameter("Timestamp", "2024-05-06T07:08:09Z");
  return request;
}

// Signing consumes a request, so every iteration signs a fresh copy, as a
// connection does for each attempt; the copy is part of the measured cost.
void BM_GetSignedURL(benchmark::State& state) {
  const SAliCloudRequest templateRequest = ThirteenParameterRequest();
  std::string strUrl;
  for (auto _ : state) {
    SAliCloudRequest request(templateRequest);
    if (request.GetSignedURL(kSecret, strUrl).IsError()) {
      state.SkipWithError("signing failed");
      break;
    }
    benchmark::DoNotOptimize(strUrl.data());
  }
}
BENCHMARK(BM_GetSignedURL);

// The same signing as a connection does it: the HMAC keyed once with the secret.
void BM_SignRequestKeyedOnce(benchmark::State& state) {
  const SAliCloudRequest templateRequest = ThirteenParameterRequest();
  AliCloudWrapper::CHmacSha1Key sKey;
  if (!AliCloudWrapper::KeyForSigning(kSecret, sKey)) state.SkipWithError("keying failed");
  std::string strUrl;
  for (auto _ : state) {
    SAliCloudRequest request(templateRequest);
    if (AliCloudWrapper::SignRequest(request, sKey, strUrl).IsError()) {
      state.SkipWithError("signing failed");
      break;
    }
    benchmark::DoNotOptimize(strUrl.data());
  }
}
BENCHMARK(BM_SignRequestKeyedOnce);

// The copy alone, to tell the request's own cost from the signing.
void BM_CopyRequest(benchmark::State& state) {
  const SAliCloudRequest templateRequest = ThirteenParameterRequest();
  for (auto _ : state) {
    SAliCloudRequest request(templateRequest);
    benchmark::DoNotOptimize(request.vecParameters.data());
  }
}
BENCHMARK(BM_CopyRequest);

void BM_HmacSha1Base64(benchmark::State& state) {
  SAliCloudRequest request;
  // A string to sign of the size the 13-parameter request produces.
  const std::string strStringToSign(444, 'A');
  std::string strSignature;
  for (auto _ : state) {
    if (request.ComputeSignature(strStringToSign, kSecret, strSignature).IsError()) {
      state.SkipWithError("HMAC failed");
      break;
    }
    benchmark::DoNotOptimize(strSignature.data());
  }
}
BENCHMARK(BM_HmacSha1Base64);

}  // namespace
