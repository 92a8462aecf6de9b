'use strict';
// Prints signing vectors made by the official Alibaba Cloud Node SDK
// (@alicloud/pop-core), the independent oracle for our request signer.
//
// The SDK signs and sends each request to a throw-away HTTP server on
// 127.0.0.1; the URL it built (parameters, Signature) is taken from its verbose
// answer. Time stamp and nonce are fixed by passing them as parameters, which
// the SDK lets override its own. The canonical text is the URL's query without
// the Signature pair; the string to sign follows from it, and the script checks
// that an HMAC-SHA1 over that string reproduces the SDK's signature before it
// prints anything, so every step of a vector is confirmed by the SDK itself.
//
// Usage: node make_signing_vectors.js > ../data/signing_vectors.txt

const http = require('http');
const crypto = require('crypto');
const assert = require('assert');
const RPCClient = require('@alicloud/pop-core').RPCClient;

const NONCE = '3ee8c1b8-83d3-44af-a94f-4e0ad82fd6cf';

const CASES = [
  {
    // The documentation's worked example.
    name: 'documentation-example',
    host: 'ecs.aliyuncs.com', id: 'testid', secret: 'testsecret', version: '2014-05-26',
    action: 'DescribeRegions',
    params: { Format: 'XML', SignatureNonce: NONCE, Timestamp: '2016-02-23T12:46:24Z' },
    expect: 'OLeaidS1JvxuMvnyHOwuJ+uX5qY=',
  },
  {
    name: 'reserved-characters',
    host: 'ecs.cn-hangzhou.aliyuncs.com', id: 'LTAI5tExampleKeyId', secret: 'Secret/With+Odd=Chars&', version: '2014-05-26',
    action: 'CreateSnapshot',
    params: {
      Format: 'JSON', SignatureNonce: NONCE, Timestamp: '2021-01-02T03:04:05Z',
      DiskId: 'd-bp1abcdefghijk',
      SnapshotName: 'nightly backup *~ (full)',
      Description: 'path=/var/lib:8080&mode=a+b "quoted" \'single\' !',
    },
  },
  {
    name: 'multibyte-utf8-and-empty-value',
    host: 'ecs.ap-northeast-1.aliyuncs.com', id: 'testid', secret: 'testsecret', version: '2014-05-26',
    action: 'CreateDisk',
    params: {
      Format: 'JSON', SignatureNonce: '0b6c1a54-8f1e-4f7e-9a59-1c2d3e4f5a6b', Timestamp: '2023-12-31T23:59:59Z',
      RegionId: 'ap-northeast-1', ZoneId: 'ap-northeast-1a',
      DiskName: 'Datenträger-日本語-€-😀',
      Description: '',
      'DataDisk.1.Category': 'cloud_essd',
    },
  },
  {
    name: 'thirteen-parameters',
    host: 'ecs.aliyuncs.com', id: 'LTAI4FakeAccessKeyId01', secret: 'kT9mFakeSecretValue0123456789ab', version: '2014-05-26',
    action: 'DescribeInstances',
    params: {
      Format: 'JSON', SignatureNonce: '7d1e2c3b-4a5f-4e6d-8c7b-9a0f1e2d3c4b', Timestamp: '2024-05-06T07:08:09Z',
      RegionId: 'cn-hangzhou', ZoneId: 'cn-hangzhou-h', PageNumber: '2', PageSize: '100',
      InstanceIds: '["i-bp67acfmxazb4ph0001","i-bp67acfmxazb4ph0002"]',
    },
  },
  {
    name: 'database-region',
    host: 'rds.ap-southeast-3.aliyuncs.com', id: 'testid', secret: 'testsecret', version: '2014-08-15',
    action: 'DescribeDBInstances',
    params: {
      Format: 'JSON', SignatureNonce: NONCE, Timestamp: '2022-02-22T22:22:22Z',
      RegionId: 'ap-southeast-3', Engine: 'MySQL', PageSize: '30',
    },
  },
];

function encode(text) {
  // RFC 3986: everything outside the unreserved set is %XX.
  return encodeURIComponent(text).replace(/[!'()*]/g, (c) => '%' + c.charCodeAt(0).toString(16).toUpperCase());
}

function checkText(text) {
  assert(!/[\t\n]/.test(text), 'vector texts may not hold tabs or line breaks');
  return text;
}

async function sign(port, c) {
  const client = new RPCClient({
    accessKeyId: c.id, accessKeySecret: c.secret,
    endpoint: `http://127.0.0.1:${port}`, apiVersion: c.version,
  }, true);
  const [, entry] = await client.request(c.action, c.params, { formatParams: false, timeout: 5000 });
  const query = entry.url.slice(entry.url.indexOf('/?') + 2);
  const pairs = query.split('&').map((p) => p.split('='));
  const signaturePair = pairs.pop();
  assert.strictEqual(signaturePair[0], 'Signature', 'Signature is the last pair');
  const signature = decodeURIComponent(signaturePair[1]);
  const canonical = pairs.map((p) => p.join('=')).join('&');
  const stringToSign = `GET&${encode('/')}&${encode(canonical)}`;
  const check = crypto.createHmac('sha1', c.secret + '&').update(stringToSign, 'utf8').digest('base64');
  assert.strictEqual(check, signature, `${c.name}: string to sign does not reproduce the SDK's signature`);
  if (c.expect) assert.strictEqual(signature, c.expect, `${c.name}: SDK disagrees with the documentation`);
  const lines = [`case ${c.name}`, `secret ${checkText(c.secret)}`, `host ${c.host}`, `method GET`];
  for (const [name, value] of pairs) {
    lines.push(`param ${checkText(decodeURIComponent(name))}\t${checkText(decodeURIComponent(value))}`);
  }
  lines.push(`canonical ${canonical}`);
  lines.push(`string-to-sign ${stringToSign}`);
  lines.push(`signature ${signature}`);
  lines.push(`url https://${c.host}/?${query}`);
  lines.push('end');
  return lines.join('\n');
}

async function main() {
  const server = http.createServer((req, res) => {
    res.writeHead(200, { 'Content-Type': 'application/json' });
    res.end('{"RequestId":"conformance"}');
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const port = server.address().port;
  try {
    const out = ['# Signing vectors made by @alicloud/pop-core (tests/conformance/make_signing_vectors.js).',
      '# One block per case: the parameters (name TAB value, unencoded) in the order the SDK',
      '# sorted them, then the canonical query text, the string to sign, the Base64 signature and',
      '# the final URL.'];
    for (const c of CASES) out.push(await sign(port, c));
    process.stdout.write(out.join('\n') + '\n');
  } finally {
    server.close();
  }
}

main().catch((err) => { console.error(err); process.exit(1); });
