/*
  Demo data for a new Livrexa database (run after db/schema.sql, in an empty database).

  The administrator is user number 1, login "ADMIN", password "ADMIN", stored scrambled the way
  the server and the clients scramble passwords ("5ACA58F71556": start value 5A, then one pair per
  character). Both are in capitals because the server window's login boxes turn every typed letter
  into upper case. Change the password at the first login.
*/

INSERT INTO T01_USUARI (T01_Usuario, T01_Senha, T01_Desativado) VALUES ('ADMIN', '5ACA58F71556', FALSE);

INSERT INTO T16_TURMAS (T16_Turma, T16_Desativado) VALUES ('1º Ano A - Manhã', FALSE);
INSERT INTO T16_TURMAS (T16_Turma, T16_Desativado) VALUES ('2º Ano B - Tarde', FALSE);
INSERT INTO T16_TURMAS (T16_Turma, T16_Desativado) VALUES ('Professores', FALSE);

INSERT INTO T04_LEITOR (T04_Leitor, T04_DataNasc, T04_CPF, T04_NumTurma, T04_DataCadastro, T04_Sexo,
                        T04_Cidade, T04_Bairro, T04_Estado, T04_Matricula, T04_Turno, T04_Telefone1,
                        T04_Desativado)
  VALUES ('Ana Luíza Conceição', '2012-03-14', '', 1, CURRENT_DATE, 'Feminino',
          'São Paulo', 'Vila Mariana', 'SP', '2024-0117', 'Manhã', '(11) 98765-4321', FALSE);
INSERT INTO T04_LEITOR (T04_Leitor, T04_DataNasc, T04_CPF, T04_NumTurma, T04_DataCadastro, T04_Sexo,
                        T04_Cidade, T04_Bairro, T04_Estado, T04_Matricula, T04_Turno, T04_Telefone1,
                        T04_Desativado)
  VALUES ('João Pedro Araújo', '2011-09-02', '', 2, CURRENT_DATE, 'Masculino',
          'Belo Horizonte', 'Savassi', 'MG', '2024-0245', 'Tarde', '(31) 99876-5432', FALSE);
INSERT INTO T04_LEITOR (T04_Leitor, T04_DataNasc, T04_CPF, T04_NumTurma, T04_DataCadastro, T04_Sexo,
                        T04_Cidade, T04_Bairro, T04_Estado, T04_Matricula, T04_Turno, T04_Telefone1,
                        T04_Email, T04_Desativado)
  VALUES ('Márcia Gonçalves', '1980-11-25', '123.456.789-09', 3, CURRENT_DATE, 'Feminino',
          'Recife', 'Boa Viagem', 'PE', 'P-031', '', '(81) 3322-1100', 'marcia@escola.example', FALSE);

INSERT INTO T05_AUTOR1 (T05_Autor, T05_Desativado) VALUES ('Machado de Assis', FALSE);
INSERT INTO T05_AUTOR1 (T05_Autor, T05_Desativado) VALUES ('Cecília Meireles', FALSE);
INSERT INTO T05_AUTOR1 (T05_Autor, T05_Desativado) VALUES ('Monteiro Lobato', FALSE);
INSERT INTO T05_AUTOR1 (T05_Autor, T05_Desativado) VALUES ('Clarice Lispector', FALSE);

INSERT INTO T06_EDITOR (T06_Editora, T06_Localizacao, T06_Desativado) VALUES ('Editora Ática', 'São Paulo - SP', FALSE);
INSERT INTO T06_EDITOR (T06_Editora, T06_Localizacao, T06_Desativado) VALUES ('Companhia das Letras', 'São Paulo - SP', FALSE);
INSERT INTO T06_EDITOR (T06_Editora, T06_Localizacao, T06_Desativado) VALUES ('Editora Globo', 'Rio de Janeiro - RJ', FALSE);

INSERT INTO T07_CLASSI (T07_Classificacao, T07_Desativado) VALUES ('Romance', FALSE);
INSERT INTO T07_CLASSI (T07_Classificacao, T07_Desativado) VALUES ('Poesia', FALSE);
INSERT INTO T07_CLASSI (T07_Classificacao, T07_Desativado) VALUES ('Literatura Infantojuvenil', FALSE);

INSERT INTO T08_TIPOS1 (T08_TipoItem, T08_QtdDias, T08_Desativado) VALUES ('Livro', 7, FALSE);
INSERT INTO T08_TIPOS1 (T08_TipoItem, T08_QtdDias, T08_Desativado) VALUES ('Revista', 3, FALSE);
INSERT INTO T08_TIPOS1 (T08_TipoItem, T08_QtdDias, T08_Desativado) VALUES ('Dicionário', 1, FALSE);

INSERT INTO T14_IDIOMA (T14_Idioma, T14_Desativado) VALUES ('Português', FALSE);
INSERT INTO T14_IDIOMA (T14_Idioma, T14_Desativado) VALUES ('Inglês', FALSE);
INSERT INTO T14_IDIOMA (T14_Idioma, T14_Desativado) VALUES ('Espanhol', FALSE);

INSERT INTO T09_ACERVO (T09_Titulo, T09_SubTitulo, T09_NumEditora, T09_NumTipoItem, T09_NumClassific,
                        T09_NumIdioma, T09_Tombo, T09_Paginas, T09_Aquisicao, T09_NaoEmprestar,
                        T09_Emprestado, T09_Exemplar, T09_Edicao, T09_AnoEdicao, T09_CDD, T09_CUTTER,
                        T09_Palavras1, T09_Palavras2, T09_Local)
  VALUES ('Dom Casmurro', '', 1, 1, 1, 1, 1001, 256, '2023-02-10', FALSE,
          FALSE, 'Ex. 1', '3ª', '2019', '869.3', 'A848d', 'ciúme', 'Rio de Janeiro', 'Estante A1');
INSERT INTO T09_ACERVO (T09_Titulo, T09_SubTitulo, T09_NumEditora, T09_NumTipoItem, T09_NumClassific,
                        T09_NumIdioma, T09_Tombo, T09_Paginas, T09_Aquisicao, T09_NaoEmprestar,
                        T09_Emprestado, T09_Exemplar, T09_Edicao, T09_AnoEdicao, T09_CDD, T09_CUTTER,
                        T09_Palavras1, T09_Local)
  VALUES ('Ou Isto ou Aquilo', 'poemas para crianças', 2, 1, 2, 1, 1002, 64, '2023-03-22', FALSE,
          FALSE, 'Ex. 1', '7ª', '2012', '869.1', 'M514o', 'poesia infantil', 'Estante B2');
INSERT INTO T09_ACERVO (T09_Titulo, T09_SubTitulo, T09_NumEditora, T09_NumTipoItem, T09_NumClassific,
                        T09_NumIdioma, T09_Tombo, T09_Paginas, T09_Aquisicao, T09_NaoEmprestar,
                        T09_Emprestado, T09_Exemplar, T09_Edicao, T09_AnoEdicao, T09_CDD, T09_CUTTER,
                        T09_Palavras1, T09_Local)
  VALUES ('Reinações de Narizinho', '', 3, 1, 3, 1, 1003, 320, '2023-05-05', FALSE,
          FALSE, 'Ex. 1', '2ª', '2016', '869.3', 'L796r', 'Sítio do Picapau Amarelo', 'Estante C1');
INSERT INTO T09_ACERVO (T09_Titulo, T09_SubTitulo, T09_NumEditora, T09_NumTipoItem, T09_NumClassific,
                        T09_NumIdioma, T09_Tombo, T09_Paginas, T09_Aquisicao, T09_NaoEmprestar,
                        T09_Emprestado, T09_Exemplar, T09_Edicao, T09_AnoEdicao, T09_CDD, T09_CUTTER,
                        T09_Palavras1, T09_Local)
  VALUES ('A Hora da Estrela', '', 2, 1, 1, 1, 1004, 88, '2024-01-15', TRUE,
          FALSE, 'Ex. 1', '1ª', '2017', '869.3', 'L771h', 'Macabéa', 'Estante A2');

INSERT INTO T10_LINKAU (T10_NumAutor, T10_NumAcervo) VALUES (1, 1);
INSERT INTO T10_LINKAU (T10_NumAutor, T10_NumAcervo) VALUES (2, 2);
INSERT INTO T10_LINKAU (T10_NumAutor, T10_NumAcervo) VALUES (3, 3);
INSERT INTO T10_LINKAU (T10_NumAutor, T10_NumAcervo) VALUES (4, 4);

INSERT INTO T11_INDICE (T11_Indice, T11_Pagina, T11_NumAcervo) VALUES ('Do título', 9, 1);
INSERT INTO T11_INDICE (T11_Indice, T11_Pagina, T11_NumAcervo) VALUES ('O agregado', 13, 1);
INSERT INTO T11_INDICE (T11_Indice, T11_Pagina, T11_NumAcervo) VALUES ('Ou isto ou aquilo', 7, 2);

COMMIT;
