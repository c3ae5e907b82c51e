// A person at the browser: asks for the status page, is sent to the login
// form, logs in (a wrong password first), sees the status page and logs out.
//   node tests/browser/login.mjs BUILD_DIR
// The demo stack (lighttpd, the host, phonesim) serves a fresh phone root on
// a free port of 127.0.0.1; chromium runs headless with a new, empty profile.
// With PHONEWEB_SCREENSHOTS set to a folder, the pages seen are saved there.
import { check, runBrowserTest, shot } from "./stack.mjs";

await runBrowserTest(async (page, base) => {
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
});
