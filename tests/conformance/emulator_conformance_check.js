'use strict';
// Drives the official Alibaba Cloud Node SDK (@alicloud/pop-core) against a running acw-emulator:
// the SDK's own signed requests must be accepted, the same with a wrong secret refused with
// "SignatureDoesNotMatch" whose server string to sign equals the one the SDK signed.
//
// Usage: NODE_EXTRA_CA_CERTS=<emulator CA> node emulator_conformance_check.js <https port>
// The SDK keeps the real host names (https://ecs.aliyuncs.com ...); an agent connects every
// request to 127.0.0.1:<port> instead, so nothing leaves the machine, and the emulator's
// certificate is verified against the real host name.

const https = require('https');
const assert = require('assert');
const RPCClient = require('@alicloud/pop-core').RPCClient;

const PORT = Number(process.argv[2]);
assert(PORT > 0, 'usage: node emulator_conformance_check.js <port>');

class LoopbackAgent extends https.Agent {
  createConnection(options, callback) {
    const servername = options.servername || options.host;
    return super.createConnection(
      Object.assign({}, options, { host: '127.0.0.1', port: PORT, servername, lookup: undefined }), callback);
  }
}

function client(host, apiVersion, secret) {
  return new RPCClient({
    accessKeyId: 'acw-demo-key',
    accessKeySecret: secret || 'acw-demo-secret',
    endpoint: `https://${host}`,
    apiVersion,
    opts: { agent: new LoopbackAgent({ keepAlive: true }), timeout: 10000 },
  });
}

// What the SDK signed, rebuilt from the URL it sent: the query without Signature, encoded once
// more, after "GET&%2F&".
function sdkStringToSign(url, method) {
  const query = url.slice(url.indexOf('?') + 1).split('&').filter((p) => !p.startsWith('Signature=')).join('&');
  return `${method}&%2F&${encodeURIComponent(query).replace(/[!'()*]/g, (c) => '%' + c.charCodeAt(0).toString(16).toUpperCase())}`;
}

const checks = [];
function check(name, fn) { checks.push({ name, fn }); }

check('ECS DescribeRegions (GET, central host)', async () => {
  const r = await client('ecs.aliyuncs.com', '2014-05-26').request('DescribeRegions', { AcceptLanguage: 'en-US' });
  assert.match(r.RequestId, /^[0-9A-F-]{36}$/);
  assert(r.Regions.Region.length >= 1);
  const hz = r.Regions.Region.find((x) => x.RegionId === 'cn-hangzhou');
  assert.strictEqual(hz.LocalName, 'China (Hangzhou)');
  assert.strictEqual(hz.RegionEndpoint, 'ecs.cn-hangzhou.aliyuncs.com');
});

check('ECS DescribeRegions (POST form, regional host)', async () => {
  const r = await client('ecs.cn-hangzhou.aliyuncs.com', '2014-05-26')
    .request('DescribeRegions', { ResourceType: 'instance' }, { method: 'POST' });
  assert(r.Regions.Region.length >= 1);
});

check('RDS DescribeRegions (one entry per zone)', async () => {
  const r = await client('rds.aliyuncs.com', '2014-08-15').request('DescribeRegions', {});
  const entries = r.Regions.RDSRegion;
  assert(entries.length > new Set(entries.map((e) => e.RegionId)).size, 'a region repeats once per zone');
  assert.strictEqual(entries[0].RegionEndpoint, 'rds.aliyuncs.com');
});

check('RDS DescribeDBInstances (regional host, second page) and DescribeDBInstanceAttribute', async () => {
  const page = await client('rds.cn-zhangjiakou.aliyuncs.com', '2014-08-15')
    .request('DescribeDBInstances', { RegionId: 'cn-zhangjiakou', PageNumber: 2 });
  assert.strictEqual(page.TotalRecordCount, 32);
  assert.strictEqual(page.Items.DBInstance.length, 2);
  const attribute = await client('rds.cn-zhangjiakou.aliyuncs.com', '2014-08-15')
    .request('DescribeDBInstanceAttribute', { DBInstanceId: page.Items.DBInstance[0].DBInstanceId });
  assert.strictEqual(attribute.Items.DBInstanceAttribute[0].Port, '3306');
  assert.strictEqual(attribute.TotalRecordCount, undefined);
});

check('values that need encoding are signed alike', async () => {
  const r = await client('ecs.aliyuncs.com', '2014-05-26')
    .request('DescribeRegions', { OwnerAccount: "a b*c~d/e:f=g&h+i 'é' 漢字" });
  assert(r.Regions);
});

for (const [host, version] of [['ecs.aliyuncs.com', '2014-05-26'], ['rds.aliyuncs.com', '2014-08-15']]) {
  check(`wrong secret on ${host} is SignatureDoesNotMatch`, async () => {
    let error;
    try {
      await client(host, version, 'not-the-secret').request('DescribeRegions', {});
    } catch (e) {
      error = e;
    }
    assert(error, 'the request was accepted');
    assert.strictEqual(error.code, 'SignatureDoesNotMatch');
    assert.strictEqual(error.data.HostId, host);
    const marker = 'server string to sign is:';
    const message = error.data.Message;
    assert(message.includes(marker), message);
    assert.strictEqual(message.slice(message.indexOf(marker) + marker.length), sdkStringToSign(error.url, 'GET'));
  });
}

(async () => {
  let failed = 0;
  for (const { name, fn } of checks) {
    try {
      await fn();
      console.log(`ok   ${name}`);
    } catch (e) {
      failed += 1;
      console.log(`FAIL ${name}: ${e && e.stack ? e.stack : e}`);
    }
  }
  console.log(`${checks.length - failed} passed, ${failed} failed`);
  process.exit(failed ? 1 : 0);
})();
