/* Trusted certificates: the ticked rows travel as "name," each in "z". */
(function () {
  "use strict";
  var form = document.getElementById("deleteForm");
  if (!form) return;
  form.addEventListener("submit", function (event) {
    var names = "";
    var picks = form.querySelectorAll(".certPick:checked");
    for (var i = 0; i < picks.length; i++) names += picks[i].value + ",";
    if (!names) { event.preventDefault(); return; }
    document.getElementById("certNames").value = names;
  }, true);
})();
