'use strict';
// This library and the official Alibaba Cloud Node SDK (@alicloud/pop-core, from
// tests/conformance/node_modules) on the same work in one run, with the ratios:
//   - signing the same 13-parameter DescribeInstances request (the SDK's own request
//     path up to the moment it would send, its HTTP call replaced by a stub);
//   - a 100-instance DescribeInstances page (the very text the C++ benchmark uses)
//     into objects: JSON.parse, and JSON.parse plus records of the fields our
//     instance record keeps;
//   - with <connection_bench> and <acw-emulator>: one signed DescribeRegions over a
//     kept-alive HTTPS connection to the emulator, answer parsed (client CPU only:
//     the emulator runs in another process for Node, on other threads for C++).
// CPU time per operation on both sides (Google Benchmark's cpu_time, or the client
// thread's CPU for the request row; process CPU for Node, its garbage collector
// included).
//
// Usage: node peer_compare.js <json_bench> <signing_bench> [<connection_bench> <acw-emulator>] [--quick]
// --quick runs each row briefly (ctest, label bench); without it the figures are
// the ones for the README table. Exit 77 (skipped) when the SDK is not installed,
// unless ACW_REQUIRE_CONFORMANCE=1.

const { execFileSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');

const args = process.argv.slice(2);
const quick = args.includes('--quick');
const [jsonBench, signingBench, connectionBench, emulatorPath] = args.filter((a) => !a.startsWith('--'));
if (!jsonBench || !signingBench) {
  console.error('usage: node peer_compare.js <json_bench> <signing_bench> [--quick]');
  process.exit(2);
}

const modules = path.join(__dirname, '..', 'tests', 'conformance', 'node_modules');
let RPCClient;
let httpx;
try {
  RPCClient = require(path.join(modules, '@alicloud', 'pop-core')).RPCClient;
  httpx = require(path.join(modules, 'httpx'));
} catch (e) {
  console.error(`peer_compare: the Node SDK is not installed (${e.message})`);
  process.exit(process.env.ACW_REQUIRE_CONFORMANCE === '1' ? 1 : 77);
}

// ------------------------------------------------------------------ C++ side

function runCpp(binary, filter, env) {
  const out = execFileSync(binary, [
    `--benchmark_filter=${filter}`, '--benchmark_format=json',
    `--benchmark_min_time=${quick ? 0.01 : 0.5}`,
  ], { env: Object.assign({}, process.env, env), maxBuffer: 16 << 20 });
  const scale = { ns: 1e-3, us: 1, ms: 1e3, s: 1e6 };
  const rows = {};
  for (const b of JSON.parse(out).benchmarks) {
    if (b.error_occurred) throw new Error(`${b.name}: ${b.error_message}`);
    // Microseconds; a row timed by hand (the client thread's CPU) reports it as real_time.
    rows[b.name] = (b.name.endsWith('/manual_time') ? b.real_time : b.cpu_time) * scale[b.time_unit];
    if (b.allocs !== undefined) rows[`${b.name}.heap`] = { allocs: b.allocs, bytes: b.heap_bytes };
  }
  return rows;
}

// ------------------------------------------------------------------ Node side

// CPU microseconds per call of fn (which may be async), after a warm-up.
async function measure(fn) {
  const budgetUs = quick ? 20e3 : 1e6;
  for (let i = 0; i < (quick ? 20 : 200); ++i) await fn();
  let n = 0;
  const start = process.cpuUsage();
  let used = 0;
  while (used < budgetUs) {
    for (let i = 0; i < 10; ++i) await fn();
    n += 10;
    const d = process.cpuUsage(start);
    used = d.user + d.system;
  }
  return used / n;
}

// The request of the C++ signing benchmark: the same 13 parameters and values.
const signingClient = new RPCClient({
  accessKeyId: 'LTAI4FakeAccessKeyId01',
  accessKeySecret: 'kT9mFakeSecretValue0123456789ab',
  endpoint: 'https://ecs.aliyuncs.com',
  apiVersion: '2014-05-26',
});
const signingParams = {
  RegionId: 'cn-hangzhou', ZoneId: 'cn-hangzhou-h', PageNumber: '2', PageSize: '100',
  InstanceIds: '["i-bp67acfmxazb4ph0001","i-bp67acfmxazb4ph0002"]',
  SignatureNonce: '7d1e2c3b-4a5f-4e6d-8c7b-9a0f1e2d3c4b', Timestamp: '2024-05-06T07:08:09Z',
};
// The SDK signs inside request(); its HTTP call is replaced so nothing is sent and
// the signed URL is kept.
const sent = new Error('not sent');
let lastUrl = '';
const sendForReal = httpx.request;
httpx.request = async (url) => { lastUrl = url; throw sent; };
async function signOnce() {
  try {
    await signingClient.request('DescribeInstances', signingParams);
  } catch (e) {
    if (e !== sent) throw e;
  }
}

// The fields SVMInfoLib keeps, read the way its converter reads them.
function instanceRecord(inst) {
  const vpc = inst.VpcAttributes || {};
  return {
    InstanceId: inst.InstanceId, InstanceName: inst.InstanceName, RegionId: inst.RegionId,
    ZoneId: inst.ZoneId, InstanceType: inst.InstanceType, ImageId: inst.ImageId,
    Status: inst.Status, Description: inst.Description, HostName: inst.HostName,
    InternetChargeType: inst.InternetChargeType,
    InternetMaxBandwidthIn: inst.InternetMaxBandwidthIn,
    InternetMaxBandwidthOut: inst.InternetMaxBandwidthOut,
    VpcId: vpc.VpcId, VSwitchId: vpc.VSwitchId,
    PrivateIps: ((vpc.PrivateIpAddress || {}).IpAddress || []).filter((s) => typeof s === 'string'),
    SecurityGroups: ((inst.SecurityGroupIds || {}).SecurityGroupId || []).map(String),
    Eip: Object.assign({}, inst.EipAddress),
    PublicIps: ((inst.PublicIpAddress || {}).IpAddress || []).filter((s) => typeof s === 'string'),
  };
}

// Starts acw-emulator on port 0 and gives its port and CA file once it is ready.
function startEmulator(dir) {
  const { spawn } = require('child_process');
  const caFile = path.join(dir, 'ca.pem');
  const emulator = spawn(emulatorPath, ['--port', '0', '--metadata-port', '0', '--ca-file', caFile],
                         { stdio: ['ignore', 'pipe', 'inherit'] });
  return new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error('no ready line from acw-emulator')), 20000);
    let output = '';
    emulator.stdout.on('data', (chunk) => {
      output += chunk;
      if (!output.includes('\n')) return;
      clearTimeout(timer);
      emulator.stdout.removeAllListeners('data');
      const ready = /https=127\.0\.0\.1:(\d+) /.exec(output);
      if (!ready) {
        emulator.kill('SIGKILL');
        reject(new Error(`unexpected ready line: ${output}`));
        return;
      }
      resolve({ emulator, port: Number(ready[1]), ca: fs.readFileSync(caFile) });
    });
  });
}

// CPU per signed DescribeRegions over one kept-alive connection to the emulator.
async function nodeKeptAliveRequest(dir) {
  const https = require('https');
  const { emulator, port, ca } = await startEmulator(dir);
  try {
    class LoopbackAgent extends https.Agent {
      createConnection(options, callback) {
        const servername = options.servername || options.host;
        return super.createConnection(
          Object.assign({}, options, { host: '127.0.0.1', port, servername, lookup: undefined }), callback);
      }
    }
    const client = new RPCClient({
      accessKeyId: 'acw-demo-key', accessKeySecret: 'acw-demo-secret',
      endpoint: 'https://ecs.aliyuncs.com', apiVersion: '2014-05-26',
      opts: { agent: new LoopbackAgent({ keepAlive: true, maxSockets: 1, ca }), timeout: 10000 },
    });
    const answer = await client.request('DescribeRegions', {});
    if (!answer.Regions || !Array.isArray(answer.Regions.Region)) throw new Error('no regions');
    return await measure(() => client.request('DescribeRegions', {}));
  } finally {
    emulator.kill('SIGTERM');
  }
}

async function main() {
  const pageFile = path.join(fs.mkdtempSync(path.join(os.tmpdir(), 'acw-peer-')), 'page.json');
  const json = runCpp(jsonBench, 'BM_RecordsFromPage|BM_BareReader|BM_BoostJsonParse',
                      { ACW_WRITE_PAGE: pageFile });
  const signing = runCpp(signingBench, 'BM_GetSignedURL', {});
  const page = fs.readFileSync(pageFile, 'utf8');
  const request = connectionBench && emulatorPath
    ? runCpp(connectionBench, 'BM_SignedDescribeRegionsClientCpu', {}) : null;

  await signOnce();
  if (!/[?&]Signature=/.test(lastUrl) || !lastUrl.includes('PageSize=100')) {
    throw new Error(`the SDK built no signed URL: ${lastUrl}`);
  }
  if (JSON.parse(page).Instances.Instance.map(instanceRecord).length !== 100) {
    throw new Error('the page does not hold 100 instances');
  }
  const node = {
    sign: await measure(signOnce),
    parse: await measure(() => JSON.parse(page)),
    records: await measure(() => JSON.parse(page).Instances.Instance.map(instanceRecord)),
  };
  if (request) {
    httpx.request = sendForReal;
    node.request = await nodeKeptAliveRequest(path.dirname(pageFile));
  }
  fs.rmSync(path.dirname(pageFile), { recursive: true, force: true });

  const ours = { sign: signing.BM_GetSignedURL, records: json.BM_RecordsFromPage };
  if (request) ours.request = request['BM_SignedDescribeRegionsClientCpu/manual_time'];
  const bare = json.BM_BareReaderDescribeInstancesPage;
  const fmt = (us) => (us >= 100 ? us.toFixed(0) : us.toFixed(2)).padStart(8);
  const ratio = (a, b) => `${(a / b).toFixed(2)}x`.padStart(7);
  const row = (label, name) => {
    const heap = json[`${name}.heap`];
    const allocs = heap ? heap.allocs.toFixed(1) : '-';
    const bytes = heap ? heap.bytes.toFixed(0) : '-';
    return `| ${label.padEnd(50)} | ${fmt(json[name])} | ${ratio(ours.records, json[name]).padStart(13)} | ${allocs.padStart(22)} | ${bytes.padStart(26)} |`;
  };
  const lines = [
    `| Work (CPU time per operation)                      | this library (us) | Node SDK (us) | Node / ours |`,
    `|----------------------------------------------------|------------------:|--------------:|------------:|`,
    `| sign a 13-parameter DescribeInstances request      | ${fmt(ours.sign)}          | ${fmt(node.sign)}      | ${ratio(node.sign, ours.sign)}     |`,
    `| 100-instance page: text to records                 | ${fmt(ours.records)}          | ${fmt(node.records)}      | ${ratio(node.records, ours.records)}     |`,
    `| 100-instance page: JSON.parse alone (Node)         |                   | ${fmt(node.parse)}      | ${ratio(node.parse, ours.records)}     |`,
  ];
  if (request) {
    lines.push(`| signed DescribeRegions, kept-alive HTTPS, parsed   | ${fmt(ours.request)}          | ${fmt(node.request)}      | ${ratio(node.request, ours.request)}     |`);
  }
  lines.push(
    '',
    `| Same page, same run                                | CPU (us) | records / row | allocations / instance | bytes allocated / instance |`,
    `|----------------------------------------------------|---------:|--------------:|-----------------------:|---------------------------:|`,
    row('text to records (this library)', 'BM_RecordsFromPage'),
    row('text to records through the mObject tree', 'BM_RecordsFromPageThroughTree'),
    row('Boost.JSON bare reader (validation only)', 'BM_BareReaderDescribeInstancesPage'),
    row('Boost.JSON parse into its document', 'BM_BoostJsonParse'),
  );
  console.log(lines.join('\n'));
}

main().catch((e) => {
  console.error(`peer_compare: ${e.stack || e}`);
  process.exit(1);
});
