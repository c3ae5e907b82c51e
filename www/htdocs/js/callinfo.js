/* Call history: dial or call back through the phone, hang up. */
(function () {
  "use strict";
  var result = document.getElementById("callResult");
  var words = window.LANG || {};
  function say(text) { result.textContent = words[text] || text; }
  function ask(query) {
    return window.fetch("/servlet?p=contacts-callinfo&" + query, { credentials: "same-origin", cache: "no-store" })
      .then(function (answer) { return answer.text(); })
      .then(function (text) { say(text.trim()); }, function () { say("call failed"); });
  }
  function call(number) {
    var account = document.getElementById("dialAccount").value;
    if (!number || account === "") { say("No registered account to call from."); return; }
    ask("q=call&num=" + encodeURIComponent(number) + "&acc=" + encodeURIComponent(account));
  }
  document.getElementById("dialForm").addEventListener("submit", function (event) {
    event.preventDefault();
    call(document.getElementById("dialNumber").value.trim());
  });
  document.getElementById("hangUp").addEventListener("click", function () { ask("q=hangup"); });
  document.querySelectorAll(".call-back").forEach(function (button) {
    button.addEventListener("click", function () { call(button.getAttribute("data-number")); });
  });
})();
