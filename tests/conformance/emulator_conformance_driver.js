'use strict';
// Starts acw-emulator on port 0, waits for its ready line, runs emulator_conformance_check.js
// against it with the emulator's CA trusted, then stops the emulator with SIGTERM and checks
// that it exits cleanly. Exits 77 (skipped) when the official SDK is not installed, unless
// ACW_REQUIRE_CONFORMANCE is set (as ./run test does).
//
// Usage: node emulator_conformance_driver.js <path to acw-emulator>

const { spawn } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');

const emulatorPath = process.argv[2];
const here = __dirname;

try {
  require.resolve('@alicloud/pop-core', { paths: [here] });
} catch (e) {
  // ./run test installs the SDK and sets ACW_REQUIRE_CONFORMANCE: there a
  // missing SDK is a failed install, not a reason to skip.
  if (process.env.ACW_REQUIRE_CONFORMANCE) {
    console.error('@alicloud/pop-core is not installed, but ACW_REQUIRE_CONFORMANCE is set');
    process.exit(1);
  }
  console.log('skipped: @alicloud/pop-core is not installed (./run deps installs it)');
  process.exit(77);
}

const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'acw-conformance-'));
const caFile = path.join(dir, 'ca.pem');
const emulator = spawn(emulatorPath, ['--port', '0', '--metadata-port', '0', '--ca-file', caFile],
  { stdio: ['ignore', 'pipe', 'inherit'] });

function finish(code) {
  fs.rmSync(dir, { recursive: true, force: true });
  process.exit(code);
}

const deadline = setTimeout(() => {
  console.log('FAIL the emulator printed no ready line within 20 s');
  emulator.kill('SIGKILL');
  finish(1);
}, 20000);

let output = '';
emulator.stdout.on('data', (chunk) => {
  output += chunk;
  const line = output.split('\n')[0];
  if (!output.includes('\n')) return;
  emulator.stdout.removeAllListeners('data');
  clearTimeout(deadline);
  const ready = /^acw-emulator ready https=127\.0\.0\.1:(\d+) metadata=127\.0\.0\.1:(\d+) ca=(.+)$/.exec(line);
  if (!ready || ready[3] !== caFile) {
    console.log(`FAIL unexpected ready line: ${line}`);
    emulator.kill('SIGKILL');
    finish(1);
    return;
  }
  const check = spawn(process.execPath, [path.join(here, 'emulator_conformance_check.js'), ready[1]], {
    stdio: 'inherit',
    cwd: here,
    env: Object.assign({}, process.env, { NODE_EXTRA_CA_CERTS: caFile }),
  });
  check.on('exit', (checkCode) => {
    const stopTimer = setTimeout(() => {
      console.log('FAIL the emulator did not stop within 10 s of SIGTERM');
      emulator.kill('SIGKILL');
      finish(1);
    }, 10000);
    emulator.on('exit', (code, signal) => {
      clearTimeout(stopTimer);
      if (code !== 0) {
        console.log(`FAIL the emulator exited with ${code === null ? signal : code} on SIGTERM`);
        finish(1);
        return;
      }
      finish(checkCode === 0 ? 0 : 1);
    });
    emulator.kill('SIGTERM');
  });
});

emulator.on('error', (e) => {
  console.log(`FAIL cannot start ${emulatorPath}: ${e.message}`);
  finish(1);
});
