// A person at the browser: asks for the status page, is sent to the login
// form, logs in (a wrong password first), sees the status page and logs out.
//   node tests/browser/login.mjs BUILD_DIR
// The demo stack (lighttpd, the host, phonesim) serves a fresh phone root on
// a free port of 127.0.0.1; chromium runs headless with a new, empty profile.
// With PHONEWEB_SCREENSHOTS set to a folder, the pages seen are saved there.
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
  const demo = spawn(join(SOURCE, "tools/demo.sh"), ["--port", String(port), "--root", root], {
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

function check(condition, what) {
  if (!condition) throw new Error("failed: " + what);
  console.log("ok: " + what);
}

async function shot(page, name) {
  if (SHOTS) await page.screenshot({ path: join(SHOTS, name), fullPage: true });
}

async function run(base, profile) {
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: "/usr/bin/chromium",
    headless: true,
    args: CHROMIUM_ARGS,
    viewport: { width: 1100, height: 760 },
  });
  try {
    const page = context.pages()[0] || (await context.newPage());
    page.setDefaultTimeout(30000);

    await page.goto(`${base}/servlet?p=status&q=load`);
    check(/[?&]p=login&q=loginForm&jumpto=status$/.test(page.url()), "a page without login leads to the login form");
    const user = page.locator('input[name="username"]');
    const password = page.locator('input[name="pwd"]');
    check((await user.getAttribute("autocomplete")) === "username", "the user field is marked for password managers");
    check((await password.getAttribute("autocomplete")) === "current-password", "the password field is marked for password managers");
    check((await password.getAttribute("type")) === "password", "the password is not shown");
    await shot(page, "login.png");

    await user.fill("admin");
    await password.fill("not-the-password");
    await Promise.all([page.waitForLoadState("load"), password.press("Enter")]);
    check((await page.locator("#notice").textContent()).includes("The username or password is error!"), "a wrong password is named");
    check((await password.inputValue()) === "", "the wrong password is not handed back");
    check((await user.inputValue()) === "admin", "the user name is kept");
    await shot(page, "login-failed.png");

    await password.fill("admin");
    await Promise.all([page.waitForURL(/[?&]p=status&q=load/), page.locator("#loginButton").click()]);
    check((await page.locator("h1").first().textContent()).trim() === "Status", "the status page follows the login");
    check((await page.locator(".who strong").textContent()).trim() === "admin", "the page names who is logged in");
    check((await page.locator("#firmware").textContent()).trim() !== "", "the status page shows the firmware");
    await shot(page, "status.png");

    await page.goto(`${base}/servlet?p=security&q=load`);
    check((await page.locator("select#mode option").count()) >= 1, "the security page lists users");
    check(await page.locator('.submenu a[data-page="security"]').isVisible(), "the security group's menu is shown");
    await shot(page, "security.png");

    await Promise.all([page.waitForURL(/[?&]p=login&q=loginForm/), page.locator(".who a.button").click()]);
    check(true, "logging out leads to the login form");
    await page.goto(`${base}/servlet?p=status&q=load`);
    check(/[?&]p=login&q=loginForm/.test(page.url()), "after logout the status page asks for a login again");
  } finally {
    await context.close();
  }
}

const port = await freePort();
const scratch = mkdtempSync(join(tmpdir(), "phoneweb-browser-"));
const profile = join(scratch, "profile");
let demo = null;
let failed = false;
try {
  demo = await startDemo(port, join(scratch, "root"));
  await run(`http://127.0.0.1:${port}`, profile);
} catch (error) {
  failed = true;
  console.error(error.stack || String(error));
  if (demo) console.error("---- demo log ----\n" + demo.log());
} finally {
  if (demo) await stopDemo(demo);
  rmSync(scratch, { recursive: true, force: true });
}
process.exit(failed ? 1 : 0);
