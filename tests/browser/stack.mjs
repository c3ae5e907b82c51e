// What every browser test needs: the demo stack on a free port of
// 127.0.0.1, headless chromium with a new profile, checks and screenshots.
// A test exports nothing; it calls runBrowserTest with its steps.
import { spawn } from "node:child_process";
import { mkdtempSync, rmSync } from "node:fs";
import { createServer } from "node:net";
import { tmpdir } from "node:os";
import { dirname, join, resolve } from "node:path";
import { fileURLToPath } from "node:url";
import { chromium } from "playwright-core";

const SOURCE = resolve(dirname(fileURLToPath(import.meta.url)), "../..");
const BUILD = resolve(process.argv[2] || join(SOURCE, "build-test"));
const SHOTS = process.env.PHONEWEB_SCREENSHOTS || "";
const CHROMIUM_ARGS = [
  "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
  "--disable-background-networking", "--disable-component-update", "--disable-sync",
];

function freePort() {
  return new Promise((done, fail) => {
    const server = createServer();
    server.on("error", fail);
    server.listen(0, "127.0.0.1", () => {
      const { port } = server.address();
      server.close(() => done(port));
    });
  });
}

const sleep = (ms) => new Promise((done) => setTimeout(done, ms));

// Starts tools/demo.sh; resolves once the login form answers.
async function startDemo(port, root) {
  const args = ["--port", String(port), "--https-port", String(await freePort()), "--root", root];
  const demo = spawn(join(SOURCE, "tools/demo.sh"), args, {
    env: { ...process.env, PHONEWEB_BUILD: BUILD },
    stdio: ["ignore", "pipe", "pipe"],
  });
  let log = "";
  demo.stdout.on("data", (chunk) => { log += chunk; });
  demo.stderr.on("data", (chunk) => { log += chunk; });
  const ended = new Promise((done) => demo.on("exit", done));
  demo.ended = ended;
  demo.log = () => log;
  for (let attempt = 0; attempt < 120; attempt++) {
    if (demo.exitCode !== null) break;
    try {
      const answer = await fetch(`http://127.0.0.1:${port}/servlet?p=login&q=loginForm`);
      if (answer.status === 200) return demo;
    } catch {
      // not listening yet
    }
    await sleep(250);
  }
  await stopDemo(demo);
  throw new Error("the demo stack did not come up:\n" + log);
}

async function stopDemo(demo) {
  if (demo.exitCode === null && demo.signalCode === null) demo.kill("SIGTERM");
  await demo.ended;
}

export function check(condition, what) {
  if (!condition) throw new Error("failed: " + what);
  console.log("ok: " + what);
}

export async function shot(page, name) {
  if (SHOTS) await page.screenshot({ path: join(SHOTS, name), fullPage: true });
}

// Starts the stack and chromium, runs steps(page, base) and exits the
// process with 0 when they passed, 1 otherwise.
export async function runBrowserTest(steps) {
  const port = await freePort();
  const scratch = mkdtempSync(join(tmpdir(), "phoneweb-browser-"));
  const profile = join(scratch, "profile");
  let demo = null;
  let failed = false;
  try {
    demo = await startDemo(port, join(scratch, "root"));
    const context = await chromium.launchPersistentContext(profile, {
      executablePath: "/usr/bin/chromium",
      headless: true,
      args: CHROMIUM_ARGS,
      viewport: { width: 1100, height: 760 },
    });
    try {
      const page = context.pages()[0] || (await context.newPage());
      page.setDefaultTimeout(30000);
      await steps(page, `http://127.0.0.1:${port}`);
    } finally {
      await context.close();
    }
  } catch (error) {
    failed = true;
    console.error(error.stack || String(error));
    if (demo) console.error("---- demo log ----\n" + demo.log());
  } finally {
    if (demo) await stopDemo(demo);
    rmSync(scratch, { recursive: true, force: true });
  }
  process.exit(failed ? 1 : 0);
}
